// The module's device emulator, paced as zezudi-devsim --pace, in a worker
// of the page: the far end of bench/paced-serial.js. Each reply goes out when it is due: the
// worker sleeps to shortly before (a timer would wake up a millisecond late or more), then
// watches the clock, which reads to the microsecond as the bench serves the page isolated.
importScripts('/zezudi.js');
const sleeper = new Int32Array(new SharedArrayBuffer(4));
let device = null;
let last = 0; // when the last reply was due: replies go out in order
const ready = ZezUdi().then((core) => (device = new core.Emulator({ pace: true })));

onmessage = async (e) => {
  if (!device) await ready;
  const now = performance.now();
  for (const r of device.feed(e.data)) {
    last = Math.max(now + r.delayMs, last);
    const left = last - performance.now() - 0.25;
    if (left > 0) Atomics.wait(sleeper, 0, 0, left);
    while (performance.now() < last);
    postMessage(r.text);
  }
};
