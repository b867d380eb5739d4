// The far end of the navigator.serial stand-in: a WebSocket server whose every connection is one open() of a port, relayed to zezudi-devsim's
// pseudo-terminal opened raw at the speed the page asked for (as wasm/node/tty-port.mjs does).
// It records what the page sent as zezudi-devsim --record does ("@SPEED" at a change of speed).
import { execFileSync, spawn } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import readline from 'node:readline';
import tty from 'node:tty';

// The messages of one WebSocket connection, as a browser sends them (masked, unfragmented).
function frames(socket, onMessage, onClose) {
  let buffer = Buffer.alloc(0);
  socket.on('data', (chunk) => {
    buffer = Buffer.concat([buffer, chunk]);
    while (buffer.length >= 2) {
      const opcode = buffer[0] & 15;
      const short = buffer[1] & 127;
      const at = short === 126 ? 4 : short === 127 ? 10 : 2;
      if (buffer.length < at) return;
      const length = short === 126 ? buffer.readUInt16BE(2) : short === 127 ? Number(buffer.readBigUInt64BE(2)) : short;
      if (buffer.length < at + 4 + length) return;
      const payload = Buffer.from(buffer.subarray(at + 4, at + 4 + length)).map((b, i) => b ^ buffer[at + (i & 3)]);
      buffer = buffer.subarray(at + 4 + length);
      if (opcode === 8) return onClose();
      if (opcode === 2) onMessage(payload);
    }
  });
  socket.on('close', onClose).on('error', onClose);
}

/** Starts the relay on a free local port. */
export async function startRelay() {
  let device = null; // the pseudo-terminal the ports lead to
  let record = [];
  let speed = 0;
  const server = http.createServer((req, res) => res.writeHead(404).end());
  server.on('upgrade', (req, socket) => {
    const baud = Number(new URL(req.url, 'http://x').searchParams.get('baud'));
    let fd, stream;
    try {
      fd = fs.openSync(device, fs.constants.O_RDWR | fs.constants.O_NOCTTY);
      execFileSync('stty', ['-F', device, String(baud)], { stdio: 'ignore' });
      stream = new tty.ReadStream(fd);
    } catch {
      if (fd !== undefined) fs.closeSync(fd);
      return socket.destroy(); // no device there: the page's open() fails
    }
    stream.setRawMode(true);
    stream.on('error', () => {});
    const key = req.headers['sec-websocket-key'] + '258EAFA5-E914-47DA-95CA-C5AB0DC85B11';
    socket.setNoDelay(true);
    socket.write('HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n' +
      `Sec-WebSocket-Accept: ${crypto.createHash('sha1').update(key).digest('base64')}\r\n\r\n`);
    stream.on('data', (bytes) => {
      const head = bytes.length < 126 ? [0x82, bytes.length] : [0x82, 126, bytes.length >> 8, bytes.length & 255];
      socket.write(Buffer.concat([Buffer.from(head), bytes]));
    });
    frames(socket, (bytes) => {
      if (baud !== speed) record.push(Buffer.from(`\n@${baud}\n`));
      speed = baud;
      record.push(bytes);
      for (let done = 0; done < bytes.length;) {
        try {
          done += fs.writeSync(fd, bytes, done);
        } catch (e) {
          if (e.code !== 'EAGAIN') throw e; // the terminal is non-blocking: try again
        }
      }
    }, () => {
      stream.destroy();
      socket.destroy();
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const { port } = server.address();
  return {
    relay: `ws://127.0.0.1:${port}`,
    /** Leads the ports to `pty` from now on, with an empty record. */
    connect(pty) {
      [device, record, speed] = [pty, [], 0];
    },
    recorded: () => Buffer.concat(record),
    close: () => new Promise((resolve) => server.close(resolve)),
  };
}

const devices = new Set();
/** Ends the devices still running (after a failed test). */
export const stopDevices = () => Promise.all([...devices].map((child) => new Promise((resolve) => {
  child.once('exit', resolve);
  child.kill('SIGTERM');
})));

/** A zezudi-devsim with `args`, holding `memory` (bytes) when given, its files in `work`. */
export async function startDevice(devsim, work, name, args = [], memory = null) {
  const [rec, mem] = [path.join(work, `${name}.rec`), path.join(work, `${name}.mem`)];
  fs.rmSync(rec, { force: true });
  fs.rmSync(mem, { force: true });
  if (memory) fs.writeFileSync(mem, memory);
  const child = spawn(devsim, ['--record', rec, '--memory', mem, ...args], { stdio: ['ignore', 'pipe', 'inherit'] });
  devices.add(child);
  child.once('exit', () => devices.delete(child));
  const pty = (await readline.createInterface({ input: child.stdout })[Symbol.asyncIterator]().next()).value;
  const read = (f) => (fs.existsSync(f) ? fs.readFileSync(f) : Buffer.alloc(0));
  return {
    pty,
    /** Ends the device; what the host sent and what the device holds. */
    async stop() {
      const exited = new Promise((resolve) => child.once('exit', resolve));
      child.kill('SIGTERM');
      await exited;
      return { sent: read(rec), memory: read(mem) };
    },
  };
}
