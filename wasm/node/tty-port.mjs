// A serial port for the module's transfers under Node: a terminal device (a USB adapter or a
// pseudo-terminal) set raw at the speed asked for. It is read through tty.ReadStream, which
// waits in the event loop: a plain file stream would block a worker thread in read() and keep
// Node from exiting. Speeds are set with stty(1), which Node itself cannot.

import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import tty from 'node:tty';

export class TtyPort {
  constructor() {
    this.stream = null;
    this.fd = -1;
    this.received = [];
    this.wake = null;
    this.failure = '';
    this.name = '';
  }

  async open(name, settings) {
    this.name = name;
    const baud = String(settings).split(',')[0];
    let fd;
    try {
      fd = fs.openSync(name, fs.constants.O_RDWR | fs.constants.O_NOCTTY);
    } catch (e) {
      throw new Error(`Cannot open ${name}: ${e.code === 'ENOENT' ? 'no such port' : e.message}.`);
    }
    try {
      execFileSync('stty', ['-F', name, baud], { stdio: 'ignore' });
    } catch {
      fs.closeSync(fd);
      throw new Error(`Cannot set up ${name}: the speed ${baud} cannot be set.`);
    }
    this.fd = fd;
    this.failure = '';
    this.received = [];
    this.stream = new tty.ReadStream(fd);
    this.stream.setRawMode(true);
    this.stream.on('data', (chunk) => {
      for (const b of chunk) this.received.push(b);
      this.wakeUp();
    });
    const lost = () => {
      if (this.stream) this.failure = `Cannot read from ${name}: device disconnected.`;
      this.wakeUp();
    };
    this.stream.on('error', lost);
    this.stream.on('end', lost);
  }

  async close() {
    const stream = this.stream;
    this.stream = null;
    this.received = [];
    if (!stream) return;
    await new Promise((resolve) => {
      stream.once('close', resolve);
      stream.destroy();
    });
  }

  // At once when the system takes the bytes whole (a command is a few bytes), else a promise.
  write(bytes, from = 0) {
    if (!this.stream || this.failure) throw new Error(`Cannot write to ${this.name}: device disconnected.`);
    for (let done = from; done < bytes.length;) {
      try {
        done += fs.writeSync(this.fd, bytes, done);
      } catch (e) {
        if (e.code !== 'EAGAIN') throw new Error(`Cannot write to ${this.name}: ${e.message}.`);
        return new Promise((resolve) => setTimeout(resolve, 1)).then(() => this.write(bytes, done));
      }
    }
    return undefined;
  }

  waiting() {
    return this.received.length;
  }

  readInto(buffer) {
    const n = Math.min(buffer.length, this.received.length);
    buffer.set(this.received.splice(0, n));
    return n;
  }

  // Resolves when more bytes arrive or `ms` has passed; fails once the device is gone.
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

  // Ends the current wait at once (the transfer then stops at its next exchange).
  cancel() {
    this.wakeUp();
  }
}
