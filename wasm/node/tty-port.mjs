// A serial port for the module's transfers under Node: a terminal device (a USB adapter or a
// pseudo-terminal) set raw at the speed asked for. It is read through tty.ReadStream, which
// waits in the event loop: a plain file stream would block a worker thread in read() and keep
// Node from exiting. Speeds are set with stty(1), which Node itself cannot.

import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import tty from 'node:tty';

const { PortBuffer } = createRequire(import.meta.url)('../port-buffer.js');

export class TtyPort extends PortBuffer {
  constructor() {
    super();
    this.stream = null;
    this.fd = -1;
    this.name = '';
  }

  async open(name, settings) {
    this.name = name;
    const baud = String(settings).split(',')[0];
    let fd;
    try {
      fd = fs.openSync(name, fs.constants.O_RDWR | fs.constants.O_NOCTTY);
    } catch (e) {
      throw new Error(`Cannot open ${name}: ${e.code === 'ENOENT' ? 'there is no such port' : e.message}.`);
    }
    try {
      execFileSync('stty', ['-F', name, baud], { stdio: 'ignore' });
    } catch {
      fs.closeSync(fd);
      throw new Error(`Cannot set up ${name}: the speed ${baud} cannot be set.`);
    }
    this.fd = fd;
    this.failure = '';
    this.clear();
    this.stream = new tty.ReadStream(fd);
    this.stream.setRawMode(true);
    this.stream.on('data', (chunk) => this.arrived(chunk));
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
    this.clear();
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
}
