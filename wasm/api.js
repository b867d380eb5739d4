// The JavaScript side of the module's API (appended to the generated loader after
// port-buffer.js): the error type, the guard that keeps calls out while a transfer runs, the
// transfers over a port the host provides, and a port onto the emulated device.

/** A failure of the core: its message is the desktop's, `kind` one of data, file, device, usage. */
class ZezError extends Error {
  constructor(message, kind) {
    super(message);
    this.name = 'ZezError';
    this.kind = kind;
  }
}
Module['ZezError'] = ZezError;

// One transfer at a time. While it runs the module is suspended in the port's calls: a call into
// it then would take over the transfer's pending completion and the transfer would never end, so
// every call is refused but those the port itself makes while it answers the transfer.
let zezBusy = false;
let zezInPort = 0;
// The module's own functions (named zez...), kept from the host.
const zezCore = {};
// Where the cancel flag lies in the module's memory; 0 in a build without transfers.
let zezCancelAt = 0;

function zezIdle() {
  if (zezBusy && !zezInPort)
    throw new ZezError('A transfer is running: wait for it to end or cancel it.', 'usage');
}

// A failure in the module comes back as a value: the binding unwinds its frames (they give back
// what they hold), hands the failure here and returns; it is thrown once the call has returned.
let zezFailure = null;
Module['zezFailed'] = (message, kind) => {
  zezFailure = new ZezError(message, kind);
};

function zezRaise(r) {
  const e = zezFailure;
  zezFailure = null;
  if (e) throw e;
  return r;
}

function zezCall(f, self, args) {
  const r = zezRaise(f.apply(self, args));
  return r && typeof r.then == 'function' ? r.then(zezRaise) : r;
}

// Where each binding takes whole numbers (positions from 0): Embind would turn 1.7, NaN, "1",
// undefined or 2**32 into some integer without a word, so they are refused here. All are int but
// rewire's set of outputs, which is unsigned.
const zezWhole = {
  segment: [1, 2], setSegment: [1, 2, 3, 4], copyRegion: [1, 2, 3], pasteRegion: [1, 2],
  blankRegion: [1, 2, 3], readableRegion: [1, 2, 3], placeElement: [1, 2, 3, 4],
  toggleLink: [1, 2, 3, 4], chooseInput: [1, 2, 3, 4], insertRow: [1, 2], deleteRow: [1, 2],
  rewire: [2], segments: [1], evaluate: [1, 2], testSegments: [1, 2], expression: [1],
  truthTable: [1], diagram: [1], drawFormula: [1], logic: [1], hasDiagram: [1],
  drop: [1, 2, 3], setInput: [1, 2, 3], paste: [1, 2], differences: [2],
};

// The bindings that take a configuration's bytes (a Uint8Array) first, and compare both: Embind
// would take a string's UTF-8 encoding in their place, and refuse an array or a number with an
// error of its own, after copying the arguments before it into the module for good.
const zezBytes = { compare: [0, 1], differences: [0, 1], compile: [0], download: [0], verify: [0], saveOver: [0, 1] };
for (const name of ['checkCdf', 'openCdf', 'toText', 'segment', 'setSegment', 'copyRegion', 'pasteRegion',
  'blankRegion', 'readableRegion', 'placeElement', 'toggleLink', 'chooseInput', 'insertRow', 'deleteRow',
  'rewire', 'segments', 'note', 'setNote', 'evaluate', 'testSegments', 'timeCompile', 'expression',
  'truthTable', 'diagram', 'checks', 'drawFormula', 'logic', 'hasDiagram', 'drop', 'setInput', 'paste', 'report', 'readEither',
  'holdsConfiguration'])
  zezBytes[name] = [0];

// The bindings that take text (positions from 0): Embind refuses anything else with an error of
// its own, after copying the arguments before it into the module for good.
const zezText = { openCdf: [1], readEither: [1], fromText: [0], pasteRegion: [3], paste: [3], setNote: [1],
  drawFormula: [2], rewire: [1], signalMap: [0], report: [1, 2] };

const zezShown = (v) => (typeof v == 'string' ? JSON.stringify(v.length > 20 ? `${v.slice(0, 20)}...` : v)
  : Array.isArray(v) ? 'an array' : ArrayBuffer.isView(v) ? `${/^[AEIOU]/.test(v.constructor.name) ? 'an' : 'a'} ${v.constructor.name}`
  : typeof v == 'object' && v !== null ? 'an object' : typeof v == 'bigint' ? `${v}n` : String(v));

function zezCheckBytes(name, args) {
  for (const i of zezBytes[name] || []) {
    if (!(args[i] instanceof Uint8Array))
      throw new ZezError(`Argument ${i + 1} of ${name} must be bytes (a Uint8Array), not ${zezShown(args[i])}.`, 'usage');
  }
}

// Every argument a binding takes, of the type it takes, and no more: what Embind would refuse is
// refused here first, with the binding and the argument named.
function zezCheckArgs(name, args, count) {
  if (args.length != count)
    throw new ZezError(`${name} takes ${count} argument${count == 1 ? '' : 's'}, not ${args.length}.`, 'usage');
  for (const i of zezText[name] || []) {
    if (typeof args[i] != 'string')
      throw new ZezError(`Argument ${i + 1} of ${name} must be text (a string), not ${zezShown(args[i])}.`, 'usage');
  }
  if (name == 'looksLikeText' && typeof args[0] != 'string' && !(args[0] instanceof Uint8Array))
    throw new ZezError(`Argument 1 of looksLikeText must be bytes or text, not ${zezShown(args[0])}.`, 'usage');
  zezCheckBytes(name, args);
  zezCheckWhole(name, args);
}

function zezCheckWhole(name, args) {
  // (No destructuring here: the loader's minifier of this Emscripten loses its names.)
  const low = name == 'rewire' ? 0 : -(2 ** 31);
  const high = name == 'rewire' ? 2 ** 32 - 1 : 2 ** 31 - 1;
  for (const i of zezWhole[name] || []) {
    const v = args[i];
    // The inputs of evaluate and testSegments are one word, a bit per input and pilot.
    if ((name == 'evaluate' || name == 'testSegments') && i == 2 && Number.isInteger(v) && (v < 0 || v > 65535))
      throw new ZezError(`Argument 3 of ${name} must be a word of inputs from 0 to 65535, not ${v}.`, 'usage');
    if (!Number.isInteger(v) || v < low || v > high) {
      throw new ZezError(`Argument ${i + 1} of ${name} must be a whole number from ${low} to ${high}, not ${zezShown(v)}.`, 'usage');
    }
  }
}

// Once the bindings are made (before the ready promise's callbacks run): the module's own
// functions are taken aside, every other one refuses while a transfer runs.
addOnPostRun(() => {
  for (const name of Object.keys(Module)) {
    const f = Module[name];
    if (typeof f != 'function' || f.argCount === undefined) continue;  // not a binding
    if (name.startsWith('zez')) {
      zezCore[name.slice(3)] = (...args) => zezCall(f, undefined, args);
      delete Module[name];
    } else {
      const count = f.argCount;
      Module[name] = function (...args) {
        zezIdle();
        zezCheckArgs(name, args, count);
        return zezCall(f, this, args);
      };
    }
  }
  // The emulator's methods likewise: only the running transfer's own port may feed its device.
  const emulator = Module['Emulator'];
  for (const name of Object.getOwnPropertyNames(emulator.prototype)) {
    const f = emulator.prototype[name];
    if (name == 'constructor' || typeof f != 'function') continue;
    emulator.prototype[name] = function (...args) {
      zezIdle();
      if (name == 'feed' && !(args[0] instanceof Uint8Array) && typeof args[0] != 'string')
        throw new ZezError(`The emulator is fed bytes or text, not ${zezShown(args[0])}.`, 'usage');
      return zezCall(f, this, args);
    };
  }
  // Its faults are checked first (as zezudi-devsim checks its options), so it is made only of
  // what it can take.
  const guarded = function (faults) {
    zezIdle();
    const given = faults === undefined ? {} : faults;
    if (typeof given != 'object' || given === null)
      throw new ZezError(`The emulator's faults must be an object, not ${zezShown(given)}.`, 'usage');
    zezCore.CheckFaults(given);
    return new emulator(given);
  };
  guarded.prototype = emulator.prototype;
  Module['Emulator'] = guarded;
  if (zezCore.CancelFlag) zezCancelAt = zezCore.CancelFlag();
});

const zezName = (options) => (options && options.name !== undefined ? String(options.name) : 'The file');
const zezForce = (options) => !!(options && options.force);

Module['compile'] = (cdf, reference, options) => {
  zezIdle();
  zezCheckBytes('compile', [cdf]);
  return zezCore.Compile(cdf, !!reference, zezForce(options), zezName(options));
};

// What the module's imports call (HostPort.cpp): each port call gives 0, or 1 with the reason in
// `error`, at once when the port answered at once, else as a promise.
function zezHostFor(port, onCaption) {
  let cancelled = null;
  const host = {
    port,
    error: '',
    // What broke in the port's own calls: every later call fails with it, so the transfer ends
    // with the reason rather than an exception through the module's frames.
    broken: null,
    // Settled by cancel: a port call the module awaits ends then even if the port never answers.
    cancelled: new Promise((resolve) => { cancelled = resolve; }),
    cancel: () => cancelled(0),
    fail(e) {
      host.error = String(e && e.message !== undefined ? e.message : e);
      return 1;
    },
    // A count from the port: a whole number within `most`, else what broke.
    count(what, most) {
      try {
        const n = host.inPort(what);
        if (Number.isInteger(n) && n >= 0) return Math.min(n, most);
        throw new Error(`The port gave ${zezShown(n)} for a count of bytes.`);
      } catch (e) {
        host.broken = host.broken || e;
        return 0;
      }
    },
    // The port's own calls, which alone may enter the module (its emulated device) meanwhile.
    inPort(what) {
      zezInPort += 1;
      try {
        return what();
      } finally {
        zezInPort -= 1;
      }
    },
    call(what) {
      if (host.broken) return host.fail(host.broken);
      try {
        const r = host.inPort(what);
        return r && typeof r.then == 'function' ? Promise.race([r.then(() => 0, host.fail), host.cancelled]) : 0;
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
    waiting: () => host.count(() => port.waiting(), 1 << 20),
    readInto: (buffer) => host.count(() => port.readInto(buffer), buffer.length),
    // The host's display failing does not stop the transfer: the caption is only shown.
    caption: (text) => {
      try {
        if (onCaption) onCaption(text);
      } catch (e) {
        if (!host.captionFailed) console.error(e);
        host.captionFailed = true;
      }
    },
  };
  return host;
}

async function zezTransfer(name, args, port, options, run) {
  if (zezBusy) throw new ZezError('A transfer is already running.', 'usage');
  zezCheckBytes(name, args);
  if (!zezCancelAt) throw new ZezError('This build has no transfers.', 'usage');
  if (typeof args.at(-1) != 'string')
    throw new ZezError(`The port's name for ${name} must be text (a string), not ${zezShown(args.at(-1))}.`, 'usage');
  if (typeof port != 'object' || port === null)
    throw new ZezError(`The port for ${name} must be an object with the port's calls, not ${zezShown(port)}.`, 'usage');
  if (options !== undefined && (typeof options != 'object' || options === null))
    throw new ZezError(`The options of ${name} must be an object, not ${zezShown(options)}.`, 'usage');
  if (options && options.onCaption !== undefined && typeof options.onCaption != 'function')
    throw new ZezError(`onCaption must be a function, not ${zezShown(options.onCaption)}.`, 'usage');
  const deadline = options && 'deadlineMs' in options ? options.deadlineMs : undefined;
  if (deadline !== undefined && !(typeof deadline == 'number' && Number.isFinite(deadline) && deadline > 0))
    throw new ZezError(`deadlineMs must be a number of milliseconds above 0, not ${String(deadline)}.`, 'usage');
  zezBusy = true;
  Module['zezHost'] = zezHostFor(port, options && options.onCaption);
  try {
    return await run(deadline === undefined ? null : deadline);
  } finally {
    Module['zezHost'] = null;
    zezBusy = false;
  }
}

Module['download'] = (cdf, port, portName, options) =>
  zezTransfer('download', [cdf, portName], port, options, (deadline) =>
    zezCore.RunDownload(cdf, portName, deadline, zezForce(options), zezName(options)));
Module['upload'] = (port, portName, options) =>
  zezTransfer('upload', [portName], port, options, (deadline) => zezCore.RunUpload(portName, deadline));
Module['verify'] = (cdf, port, portName, options) =>
  zezTransfer('verify', [cdf, portName], port, options, (deadline) => zezCore.RunVerify(cdf, portName, !!(options && options.quick),
    deadline, zezForce(options), zezName(options)));
// Safe at any moment: the flag is written into the module's memory, and the port call the
// transfer awaits ends at once (the port's own cancel, and the host's, should the port never
// answer), so the transfer sees it and stops. It stops only the transfer running now, and only
// when it runs on `port` if one is given (null or undefined: whichever runs): a cancel that comes
// after its transfer ended, or one meant for another port, leaves the running transfer alone.
Module['cancel'] = (port) => {
  const host = Module['zezHost'];
  if (!zezBusy || !host || (port != null && port !== host.port)) return;
  HEAPU8[zezCancelAt] = 1;
  if (host.port && typeof host.port.cancel == 'function') host.port.cancel();
  host.cancel();
};

// Replies due at once (no delay asked of the emulator) arrive in a task of their own, posted
// through a channel: a timer, which a browser holds to 4 ms once timers nest (Node to 1 ms), would
// make each of a download's 9,219 replies wait that long. In a page the transfer still gives way
// to drawing and input between exchanges.
let zezSoonChannel = null;
const zezSoonQueue = [];
function zezSoon(f) {
  if (!zezSoonChannel) {
    zezSoonChannel = new MessageChannel();
    zezSoonChannel.port1.onmessage = () => zezSoonQueue.shift()();
    if (zezSoonChannel.port1.unref) zezSoonChannel.port1.unref(); // holds no Node process open
  }
  zezSoonQueue.push(f);
  zezSoonChannel.port2.postMessage(0);
}

/** A port onto an emulated device in this module, with its replies' delays on the real clock. */
class EmulatedPort extends PortBuffer {
  constructor(faults) {
    zezIdle();
    super();
    this.device = new Module['Emulator'](faults || {});
    this.timers = new Set();
    this.isOpen = false;
    this.opened = 0; // replies belong to the opening they were sent in
    this.settings = [];
  }
  // While a transfer runs only its own port's calls (made through the host) are let in: any other
  // would feed a device the module is suspended in, or meddle with the transfer's port.
  async open(name, settings) {
    zezIdle();
    this.isOpen = true;
    this.opened += 1;
    this.settings.push(settings);
  }
  // Replies on their way go with the port, as on a line that was closed.
  async close() {
    zezIdle();
    this.isOpen = false;
    this.stopReplies();
    this.clear();
  }
  stopReplies() {
    for (const t of this.timers) clearTimeout(t);
    this.timers.clear();
    this.opened += 1;
  }
  async write(bytes) {
    zezIdle();
    if (!this.isOpen) throw new Error('The port is closed.');
    for (const r of this.device.feed(bytes)) {
      let at = r.delayMs;
      const chunks = r.perByteMs > 0 ? Array.from(r.text, (b) => Uint8Array.of(b)) : [r.text];
      for (const chunk of chunks) {
        const opened = this.opened;
        const deliver = () => {
          if (this.isOpen && this.opened === opened) this.arrived(chunk);
        };
        if (at > 0) {
          const timer = setTimeout(() => {
            this.timers.delete(timer);
            deliver();
          }, at);
          this.timers.add(timer);
        } else {
          zezSoon(deliver);
        }
        at += r.perByteMs;
      }
    }
  }
  dispose() {
    zezIdle();
    this.isOpen = false;
    this.stopReplies();
    this.clear();
    if (!this.device.isDeleted()) this.device.delete();  // once: a second call does nothing
  }
  waiting() {
    zezIdle();
    return super.waiting();
  }
  readInto(buffer) {
    zezIdle();
    return super.readInto(buffer);
  }
  waitForData(ms) {
    zezIdle();
    return super.waitForData(ms);
  }
}
Module['EmulatedPort'] = EmulatedPort;
