// A navigator.serial for the browser tests, injected before the page's own scripts. Its ports'
// bytes go over a WebSocket to relay.mjs, which passes them to zezudi-devsim on a
// pseudo-terminal; one connection per open() at the speed asked for. It behaves as Chromium's
// does where the transfers depend on it: close() refuses while a stream is locked, a port opens
// once, an unplugged adapter errors its readable stream and fires "disconnect", the chooser
// grants a port or rejects. window.__serialStandin lets a test unplug, plug, make a port busy
// and deny the chooser.
(() => {
  const config = window.__standinConfig || { relay: '', ports: [] };
  const lost = () => new DOMException('The device has been lost.', 'NetworkError');

  class Serial extends EventTarget {
    constructor() {
      super();
      this.listeners = { connect: new Set(), disconnect: new Set() };
    }
    addEventListener(type, f, o) {
      if (this.listeners[type]) this.listeners[type].add(f);
      else super.addEventListener(type, f, o);
    }
    removeEventListener(type, f, o) {
      if (this.listeners[type]) this.listeners[type].delete(f);
      else super.removeEventListener(type, f, o);
    }
    // The event reaches navigator.serial after its port, as it bubbles in the browser.
    fire(event) {
      for (const f of [...this.listeners[event.type]]) typeof f === 'function' ? f.call(this, event) : f.handleEvent(event);
      const on = this['on' + event.type];
      if (typeof on === 'function') on.call(this, event);
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
    constructor(id, info) {
      super();
      this.id = id;
      this.info = info;
      this.granted = false;
      this.plugged = true;
      this.readable = null;
      this.writable = null;
      this.socket = null;
      this.controller = null;
    }
    getInfo() {
      return { ...this.info };
    }
    async open(options) {
      if (!options || typeof options.baudRate !== 'number' || options.baudRate <= 0)
        throw new TypeError("Failed to execute 'open' on 'SerialPort': Requested baud rate must be greater than zero.");
      if (this.readable) throw new DOMException('The port is already open.', 'InvalidStateError');
      if (!this.plugged || state.busy.has(this.id)) throw new DOMException('Failed to open serial port.', 'NetworkError');
      const socket = new WebSocket(`${config.relay}/port/${this.id}?baud=${options.baudRate}`);
      socket.binaryType = 'arraybuffer';
      await new Promise((resolve, reject) => {
        socket.onopen = resolve;
        socket.onerror = () => reject(new DOMException('Failed to open serial port.', 'NetworkError'));
      });
      state.opens.push({ id: this.id, baudRate: options.baudRate });
      this.socket = socket;
      this.readable = new ReadableStream({
        start: (controller) => {
          this.controller = controller;
          socket.onmessage = (e) => {
            try {
              controller.enqueue(new Uint8Array(e.data));
            } catch {
              /* cancelled: the bytes go with the port */
            }
          };
        },
      });
      this.writable = new WritableStream({
        write: (chunk) => {
          if (!this.plugged || socket.readyState !== WebSocket.OPEN) throw lost();
          socket.send(chunk);
        },
      });
    }
    async setSignals(signals) {
      if (!this.readable) throw new DOMException('The port is closed.', 'InvalidStateError');
      state.signals.push({ id: this.id, ...signals });
    }
    async close() {
      if (!this.readable) throw new DOMException('The port is already closed.', 'InvalidStateError');
      if (this.readable.locked || this.writable.locked) throw new TypeError('Cannot cancel a locked stream');
      this.shut();
    }
    async forget() {
      if (this.readable) this.shut();
      this.granted = false;
    }
    shut() {
      this.socket.close();
      this.socket = null;
      this.readable = null;
      this.writable = null;
      this.controller = null;
    }
  }

  const serial = new Serial();
  const state = {
    ports: (config.ports || []).map((info, id) => Object.assign(new SerialPort(id, info), { granted: (config.granted || []).includes(id) })),
    busy: new Set(),
    deny: false,
    opens: [],
    signals: [],
    // Pulls adapter `id` out: its stream fails, "disconnect" goes to the port and navigator.serial.
    unplug(id) {
      const port = state.ports[id];
      port.plugged = false;
      try {
        port.controller?.error(lost());
      } catch {
        /* already closed */
      }
      port.socket?.close();
      const event = new Event('disconnect', { bubbles: true });
      port.dispatchEvent(event);
      serial.fire(event);
    },
    // Plugs it back in: the browser gives a new port object, granted as before.
    plug(id) {
      const old = state.ports[id];
      const port = new SerialPort(id, old.info);
      port.granted = old.granted;
      state.ports[id] = port;
      const event = new Event('connect', { bubbles: true });
      port.dispatchEvent(event);
      serial.fire(event);
    },
    grant(id) {
      state.ports[id].granted = true;
    },
  };
  window.__serialStandin = state;
  Object.defineProperty(Navigator.prototype, 'serial', { get: () => serial, configurable: true });
})();
