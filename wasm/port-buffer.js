// What a port keeps of the bytes it received and its wait for more: shared by the module's
// EmulatedPort (api.js, after which this is appended to the loader), Node's TtyPort
// (node/tty-port.mjs, which requires this file) and the browser's WebSerialPort (which the web
// build bundles from this file; types in port-buffer.d.ts).

class PortBuffer {
  constructor() {
    this.received = [];
    this.wake = null;
    // Set to the reason once the port itself failed: waits then reject with it.
    this.failure = '';
  }

  // Bytes that arrived: kept for reading, and a pending wait ends.
  arrived(bytes) {
    for (const b of bytes) this.received.push(b);
    this.wakeUp();
  }

  waiting() {
    return this.received.length;
  }

  readInto(buffer) {
    const n = Math.min(buffer.length, this.received.length);
    buffer.set(this.received.splice(0, n));
    return n;
  }

  // Resolves when more bytes arrive, `ms` has passed or cancel() is called; rejects once the
  // port failed.
  waitForData(ms) {
    if (this.failure) return Promise.reject(new Error(this.failure));
    return new Promise((resolve, reject) => {
      const done = () => {
        clearTimeout(timer);
        this.wake = null;
        if (this.failure) reject(new Error(this.failure));
        else resolve();
      };
      const timer = setTimeout(done, ms);
      this.wake = done;
    });
  }

  wakeUp() {
    if (this.wake) this.wake();
  }

  // Ends the current wait at once (a cancelled transfer then stops).
  cancel() {
    this.wakeUp();
  }
}

// Required from Node (the loader, which defines Module, keeps it to itself).
if (typeof Module == 'undefined' && typeof module == 'object') module.exports = { PortBuffer };
