// A navigator.serial whose one granted adapter leads to bench/paced-device.js in a worker: the
// editor's own path to a device (the module's transfer, its WebSerialPort, the browser's
// streams) without the tests' relay, whose round trip through the browser's network stack costs
// more than the exchange itself. Chrome's serial service is not in it: this port stands in for
// it. Only what a download needs: open, the two streams, close.
(() => {
  const worker = new Worker('/paced-device.js');
  let deliver = null;
  worker.onmessage = (e) => deliver?.(e.data);
  class Port extends EventTarget {
    constructor() {
      super();
      this.readable = this.writable = null;
    }
    getInfo() {
      return { usbVendorId: 0x0403, usbProductId: 0x6001 };
    }
    async open() {
      if (this.readable) throw new DOMException('The port is already open.', 'InvalidStateError');
      this.readable = new ReadableStream({
        start: (c) => (deliver = (bytes) => c.enqueue(bytes)),
        cancel: () => (deliver = null),
      });
      this.writable = new WritableStream({ write: (chunk) => worker.postMessage(chunk) });
    }
    async setSignals() {}
    async close() {
      if (this.readable.locked || this.writable.locked) throw new TypeError('Cannot cancel a locked stream');
      this.readable = this.writable = deliver = null;
    }
  }
  const port = new Port();
  const serial = new EventTarget();
  serial.getPorts = async () => [port];
  serial.requestPort = async () => port;
  Object.defineProperty(Navigator.prototype, 'serial', { get: () => serial, configurable: true });
})();
