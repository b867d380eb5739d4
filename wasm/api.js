// The JavaScript side of the module's API (appended to the generated loader): the error type,
// the transfers over a port the host provides, and a port onto the emulated device.

/** A failure of the core: its message is the desktop's, `kind` one of data, file, device, usage. */
class ZezError extends Error {
  constructor(message, kind) {
    super(message);
    this.name = 'ZezError';
    this.kind = kind;
  }
}
Module['ZezError'] = ZezError;

// One transfer at a time: the sequence is suspended while it awaits the port.
let zezBusy = false;

// What the module's imports call (HostPort.cpp): each port call gives 0, or 1 with the reason in
// `error`, at once when the port answered at once, else as a promise.
function zezHostFor(port, onCaption) {
  const host = {
    error: '',
    fail(e) {
      host.error = String(e && e.message !== undefined ? e.message : e);
      return 1;
    },
    call(what) {
      try {
        const r = what();
        return r && typeof r.then == 'function' ? r.then(() => 0, host.fail) : 0;
      } catch (e) {
        return host.fail(e);
      }
    },
    settle(r, wakeUp) {
      if (r && typeof r.then == 'function') r.then(wakeUp);
      else wakeUp(r);
    },
    open: (name, settings) => host.call(() => port.open(name, settings)),
    close: () => host.call(() => port.close()),
    dtrOff: () => (port.dtrOff ? host.call(() => port.dtrOff()) : 0),
    write: (bytes) => host.call(() => port.write(bytes)),
    waitForData: (ms) => host.call(() => port.waitForData(ms)),
    waiting: () => port.waiting(),
    readInto: (buffer) => port.readInto(buffer),
    caption: (text) => { if (onCaption) onCaption(text); },
  };
  return host;
}

async function zezTransfer(port, options, run) {
  if (zezBusy) throw new ZezError('A transfer is already running.', 'usage');
  zezBusy = true;
  Module['zezHost'] = zezHostFor(port, options && options.onCaption);
  try {
    return await run(options && options.deadlineMs !== undefined ? options.deadlineMs : null);
  } finally {
    Module['zezHost'] = null;
    zezBusy = false;
  }
}

// The sequences run once the runtime is ready (the bindings are made then).
function zezRun(name, ...args) {
  if (!Module[name]) throw new ZezError('This build has no transfers.', 'usage');
  return Module[name](...args);
}
Module['download'] = (cdf, port, portName, options) =>
  zezTransfer(port, options, (deadline) => zezRun('runDownload', cdf, portName, deadline));
Module['upload'] = (port, portName, options) =>
  zezTransfer(port, options, (deadline) => zezRun('runUpload', portName, deadline));
Module['verify'] = (cdf, port, portName, options) =>
  zezTransfer(port, options, (deadline) =>
    zezRun('runVerify', cdf, portName, !!(options && options.quick), deadline));
Module['cancel'] = (port) => {
  zezRun('cancelTransfer');
  if (port && port.cancel) port.cancel();
};

/** A port onto an emulated device in this module, with its replies' delays on the real clock. */
class EmulatedPort {
  constructor(faults) {
    this.device = new Module['Emulator'](faults || {});
    this.received = [];
    this.timers = new Set();
    this.wake = null;
    this.isOpen = false;
    this.settings = [];
  }
  async open(name, settings) {
    this.isOpen = true;
    this.settings.push(settings);
  }
  async close() {
    this.isOpen = false;
    this.received = [];
  }
  async write(bytes) {
    if (!this.isOpen) throw new Error('The port is closed.');
    for (const r of this.device.feed(bytes)) {
      let at = r.delayMs;
      const chunks = r.perByteMs > 0 ? Array.from(r.text, (b) => Uint8Array.of(b)) : [r.text];
      for (const chunk of chunks) {
        const timer = setTimeout(() => {
          this.timers.delete(timer);
          if (!this.isOpen) return;
          this.received.push(...chunk);
          if (this.wake) this.wake();
        }, at);
        this.timers.add(timer);
        at += r.perByteMs;
      }
    }
  }
  waiting() {
    return this.received.length;
  }
  readInto(buffer) {
    const n = Math.min(buffer.length, this.received.length);
    buffer.set(this.received.splice(0, n));
    return n;
  }
  waitForData(ms) {
    return new Promise((resolve) => {
      const timer = setTimeout(done, ms);
      const self = this;
      function done() {
        clearTimeout(timer);
        self.wake = null;
        resolve();
      }
      this.wake = done;
    });
  }
  cancel() {
    if (this.wake) this.wake();
  }
  dispose() {
    for (const t of this.timers) clearTimeout(t);
    this.timers.clear();
    this.device.delete();
  }
}
Module['EmulatedPort'] = EmulatedPort;
