// A navigator.serial for the browser tests, injected before the page's scripts. Each open() of
// a port is a WebSocket to relay.mjs, which passes the bytes to zezudi-devsim at that speed. As
// in Chromium: close() refuses while a stream is locked, a port opens once, an unplugged adapter
// errors its stream and fires "disconnect" at the port and then navigator.serial, the chooser
// grants a port or rejects. window.__serialStandin unplugs, plugs, makes busy and denies.
(() => {
  const config = window.__standinConfig;
  const lost = () => new DOMException('The device has been lost.', 'NetworkError');
  const listeners = { connect: new Set(), disconnect: new Set() };

  class Serial extends EventTarget {
    addEventListener(type, f) {
      listeners[type]?.add(f);
    }
    removeEventListener(type, f) {
      listeners[type]?.delete(f);
    }
    fire(event, port) {
      port.dispatchEvent(event);
      for (const f of [...listeners[event.type]]) f.call(this, event);
    }
    async getPorts() {
      return state.ports.filter((p) => p.granted && p.plugged);
    }
    async requestPort() {
      if (state.deny) throw new DOMException('Access to the feature "serial" is disallowed by permissions policy.', 'SecurityError');
      const port = state.ports.find((p) => !p.granted && p.plugged);
      if (!port) throw new DOMException('No port selected by the user.', 'NotFoundError');
      port.granted = true;
      return port;
    }
  }

  class SerialPort extends EventTarget {
    constructor(id, info, granted) {
      super();
      Object.assign(this, { id, info, granted, plugged: true, readable: null, writable: null });
    }
    getInfo() {
      return { ...this.info };
    }
    async open({ baudRate } = {}) {
      if (!(baudRate > 0)) throw new TypeError('Requested baud rate must be greater than zero.');
      if (this.readable) throw new DOMException('The port is already open.', 'InvalidStateError');
      if (!this.plugged || state.busy.has(this.id)) throw new DOMException('Failed to open serial port.', 'NetworkError');
      const socket = new WebSocket(`${config.relay}/port/${this.id}?baud=${baudRate}`);
      socket.binaryType = 'arraybuffer';
      await new Promise((resolve, reject) => {
        socket.onopen = resolve;
        socket.onerror = () => reject(new DOMException('Failed to open serial port.', 'NetworkError'));
      });
      this.socket = socket;
      this.stream();
      this.writable = new WritableStream({
        write: (chunk) => {
          if (!this.plugged || socket.readyState !== WebSocket.OPEN) throw lost();
          socket.send(chunk);
        },
      });
    }
    // A new readable stream, as the browser gives one after a line error.
    stream() {
      this.readable = new ReadableStream({
        start: (controller) => {
          this.controller = controller;
          this.socket.onmessage = (e) => {
            try {
              controller.enqueue(new Uint8Array(e.data));
            } catch {} // cancelled: the bytes go with the port
          };
        },
      });
    }
    async setSignals() {
      if (!this.readable) throw new DOMException('The port is closed.', 'InvalidStateError');
    }
    async close() {
      if (!this.readable) throw new DOMException('The port is already closed.', 'InvalidStateError');
      if (this.readable.locked || this.writable.locked) throw new TypeError('Cannot cancel a locked stream');
      this.socket.close();
      this.readable = this.writable = null;
    }
    async forget() {
      if (this.readable) this.socket.close();
      this.readable = this.writable = null;
      this.granted = false;
    }
  }

  const serial = new Serial();
  const state = {
    ports: config.ports.map((info, id) => new SerialPort(id, info, config.granted.includes(id))),
    busy: new Set(),
    deny: false,
    unplug(id) {
      const port = state.ports[id];
      port.plugged = false;
      try {
        port.controller?.error(lost());
      } catch {} // already closed
      port.socket?.close();
      serial.fire(new Event('disconnect'), port);
    },
    // A framing error: the stream fails with what it held, and reading goes on in a new one.
    lineError(id) {
      const port = state.ports[id];
      port.controller.error(new DOMException('Framing error.', 'FramingError'));
      port.stream();
    },
    // Plugged back in, the browser gives a new port object, granted as before.
    plug(id) {
      const old = state.ports[id];
      state.ports[id] = new SerialPort(id, old.info, old.granted);
      serial.fire(new Event('connect'), state.ports[id]);
    },
  };
  window.__serialStandin = state;
  Object.defineProperty(Navigator.prototype, 'serial', { get: () => serial, configurable: true });
})();
