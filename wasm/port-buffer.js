// What a port keeps of the bytes it received and its wait for more: shared by the module's
// EmulatedPort (api.js, after which this is appended to the loader), Node's TtyPort
// (node/tty-port.mjs, which requires this file) and the browser's WebSerialPort (which the web
// build bundles from this file; types in port-buffer.d.ts).
//
// A transfer waits once an exchange, thousands of times: the bytes are kept in one growing array
// (no allocation per byte) and one timer serves the waits, set again only when a wait must end
// sooner than it fires; clear() stops it when the port closes.

class PortBuffer {
  constructor() {
    this.store = new Uint8Array(256);
    this.start = 0; // the first byte not read
    this.end = 0; // after the last byte received
    this.wake = null;
    this.due = 0; // when the pending wait ends (performance.now())
    this.timer = null;
    this.timerDue = 0;
    // Set to the reason once the port itself failed: waits then reject with it.
    this.failure = '';
  }

  // Bytes that arrived: kept for reading, and a pending wait ends.
  arrived(bytes) {
    const kept = this.end - this.start;
    if (this.end + bytes.length > this.store.length) {
      const store = kept + bytes.length > this.store.length ? new Uint8Array(2 * (kept + bytes.length)) : this.store;
      store.set(this.store.subarray(this.start, this.end));
      [this.store, this.start, this.end] = [store, 0, kept];
    }
    this.store.set(bytes, this.end);
    this.end += bytes.length;
    this.wakeUp();
  }

  waiting() {
    return this.end - this.start;
  }

  readInto(buffer) {
    const n = Math.min(buffer.length, this.end - this.start);
    buffer.set(this.store.subarray(this.start, this.start + n));
    this.start += n;
    if (this.start === this.end) this.start = this.end = 0;
    return n;
  }

  // Forgets what was received and stops the waits' timer (the port closed).
  clear() {
    this.start = this.end = 0;
    clearTimeout(this.timer);
    this.timer = null;
    this.wakeUp();
  }

  // Resolves when more bytes arrive, `ms` has passed or cancel() is called; rejects once the
  // port failed. A wait still pending ends first (a port serves one wait at a time).
  waitForData(ms) {
    if (this.failure) return Promise.reject(new Error(this.failure));
    this.wakeUp();
    return new Promise((resolve, reject) => {
      // Within what a timer can wait (a wrong count waits not at all).
      this.due = performance.now() + (ms > 0 ? Math.min(ms, 2 ** 31 - 1) : 0);
      this.wake = () => {
        this.wake = null;
        // The timer, kept for the next wait, then holds no process (Node) open by itself.
        if (this.timer && this.timer.unref) this.timer.unref();
        if (this.failure) reject(new Error(this.failure));
        else resolve();
      };
      if (this.timer === null || this.timerDue > this.due) this.arm();
      else if (this.timer.ref) this.timer.ref();
    });
  }

  arm() {
    clearTimeout(this.timer);
    this.timerDue = this.due;
    this.timer = setTimeout(() => {
      this.timer = null;
      if (!this.wake) return;
      if (performance.now() >= this.due) this.wakeUp();
      else this.arm(); // it served an earlier wait: on to this one's end
    }, Math.max(0, this.due - performance.now()));
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
