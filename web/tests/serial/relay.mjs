// The far end of the navigator.serial stand-in: an HTTP server for the test page and a
// WebSocket server whose every connection is one open() of a port, relayed to zezudi-devsim on
// a pseudo-terminal set to the speed the page asked for (as wasm/node/tty-port.mjs opens it).
// It also records what the page sent, with a line "@SPEED" at every change of speed.
import { execFileSync, spawn } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import readline from 'node:readline';
import tty from 'node:tty';

const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm', '.css': 'text/css' };

// A pseudo-terminal opened raw at `baud`; `onData` gets what the device sends.
function openTerminal(name, baud, onData) {
  const fd = fs.openSync(name, fs.constants.O_RDWR | fs.constants.O_NOCTTY);
  execFileSync('stty', ['-F', name, String(baud)], { stdio: 'ignore' });
  const stream = new tty.ReadStream(fd);
  stream.setRawMode(true);
  stream.on('data', onData);
  stream.on('error', () => {});
  return {
    write(bytes) {
      for (let done = 0; done < bytes.length;) {
        try {
          done += fs.writeSync(fd, bytes, done);
        } catch (e) {
          if (e.code !== 'EAGAIN') throw e;
        }
      }
    },
    close: () => stream.destroy(),
  };
}

// The frames of one WebSocket connection, as far as a browser sends them (masked, unfragmented).
function frames(socket, onMessage, onClose) {
  let buffer = Buffer.alloc(0);
  socket.on('data', (chunk) => {
    buffer = Buffer.concat([buffer, chunk]);
    for (;;) {
      if (buffer.length < 2) return;
      const opcode = buffer[0] & 15;
      let length = buffer[1] & 127;
      let at = 2;
      if (length === 126) {
        if (buffer.length < 4) return;
        length = buffer.readUInt16BE(2);
        at = 4;
      } else if (length === 127) {
        if (buffer.length < 10) return;
        length = Number(buffer.readBigUInt64BE(2));
        at = 10;
      }
      if (buffer.length < at + 4 + length) return;
      const mask = buffer.subarray(at, at + 4);
      const payload = Buffer.from(buffer.subarray(at + 4, at + 4 + length));
      for (let i = 0; i < payload.length; ++i) payload[i] ^= mask[i & 3];
      buffer = buffer.subarray(at + 4 + length);
      if (opcode === 8) return onClose();
      if (opcode === 2) onMessage(payload);
    }
  });
  socket.on('close', onClose);
  socket.on('error', onClose);
}

function send(socket, bytes) {
  const n = bytes.length;
  const head = n < 126 ? Buffer.from([0x82, n]) : Buffer.from([0x82, 126, n >> 8, n & 255]);
  socket.write(Buffer.concat([head, bytes]));
}

/** Starts the servers; `files` maps a URL path to its contents. */
export async function startRelay(files) {
  let device = null; // the pty the ports lead to
  let record = [];
  let speed = 0;
  const server = http.createServer((req, res) => {
    const name = new URL(req.url, 'http://x').pathname;
    const body = files[name];
    if (body === undefined) return res.writeHead(404).end();
    res.writeHead(200, { 'content-type': types[path.extname(name)] || 'text/html' });
    res.end(body);
  });
  server.on('upgrade', (req, socket) => {
    const baud = Number(new URL(req.url, 'http://x').searchParams.get('baud'));
    const accept = crypto.createHash('sha1').update(req.headers['sec-websocket-key'] + '258EAFA5-E914-47DA-95CA-C5AB0DC85B11').digest('base64');
    if (!device) return socket.destroy();
    socket.setNoDelay(true);
    socket.write(`HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: ${accept}\r\n\r\n`);
    const terminal = openTerminal(device, baud, (bytes) => send(socket, bytes));
    let open = true;
    frames(socket, (bytes) => {
      if (baud !== speed) record.push(Buffer.from(`\n@${baud}\n`));
      speed = baud;
      record.push(bytes);
      terminal.write(bytes);
    }, () => {
      if (!open) return;
      open = false;
      terminal.close();
      socket.destroy();
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const { port } = server.address();
  return {
    url: `http://127.0.0.1:${port}`,
    relay: `ws://127.0.0.1:${port}`,
    /** Leads the ports to `pty` from now on, with an empty record. */
    connect(pty) {
      device = pty;
      record = [];
      speed = 0;
    },
    recorded: () => Buffer.concat(record),
    close: () => new Promise((resolve) => server.close(resolve)),
  };
}

/** A zezudi-devsim with `args`, holding `memory` (bytes) when given, its files in `work`. */
export async function startDevice(devsim, work, name, args = [], memory = null) {
  const rec = path.join(work, `${name}.rec`);
  const mem = path.join(work, `${name}.mem`);
  fs.rmSync(rec, { force: true });
  fs.rmSync(mem, { force: true });
  if (memory) fs.writeFileSync(mem, memory);
  const child = spawn(devsim, ['--record', rec, '--memory', mem, ...args], { stdio: ['ignore', 'pipe', 'inherit'] });
  const lines = readline.createInterface({ input: child.stdout })[Symbol.asyncIterator]();
  const pty = (await lines.next()).value;
  return {
    pty,
    /** Ends the device; what the host sent and what the device holds. */
    async stop() {
      const exited = new Promise((resolve) => child.once('exit', resolve));
      child.kill('SIGTERM');
      await exited;
      const read = (f) => (fs.existsSync(f) ? fs.readFileSync(f) : Buffer.alloc(0));
      return { sent: read(rec), memory: read(mem) };
    },
  };
}
