// The core's serial port over Web Serial. The core runs the transfer sequence; this only opens
// the port at the speed it asks for (a speed change is a close and a reopen, which the sequence
// times itself), moves bytes, and says plainly why the port cannot be used. Received bytes are
// gathered by a read loop that awaits the browser's stream: nothing ever polls.

import type { HostPort } from '../../../wasm/zezudi';
import { PortBuffer } from '../../../wasm/port-buffer.js';
import * as T from './texts';

/** The reason an open() of the browser failed, in the desktop's words. */
export function openFailure(name: string, e: unknown): string {
  const kind = e instanceof DOMException ? e.name : '';
  if (kind === 'InvalidStateError' || kind === 'NetworkError') return T.arg(T.PORT_IN_USE, name);
  if (kind === 'NotAllowedError' || kind === 'SecurityError') return T.arg(T.PORT_PERMISSION, name);
  const text = e instanceof Error ? e.message : String(e);
  return T.arg(T.PORT_OPEN_FAILED, name, text.replace(/\.$/, ''));
}

const LINE_ERRORS = ['BufferOverrunError', 'BreakError', 'FramingError', 'ParityError'];

// The received bytes and the wait for more: as the module's emulated port keeps them.
export class WebSerialPort extends PortBuffer implements HostPort {
  private reader: ReadableStreamDefaultReader<Uint8Array> | null = null;
  private writer: WritableStreamDefaultWriter<Uint8Array> | null = null;
  private loop: Promise<void> | null = null;
  private written: Promise<void> = Promise.resolve();
  private name = '';
  private isOpen = false;
  private readonly onDisconnect = (e: Event) => {
    if (e.target !== this.port) return;
    if (this.isOpen) this.lost();
  };

  constructor(readonly port: SerialPort) {
    super();
  }

  async open(name: string, settings: string): Promise<void> {
    this.name = name;
    const [baud, parity, bits, stop] = settings.split(',');
    const baudRate = Number(baud);
    if (!(baudRate > 0) || parity !== 'n' || bits !== '8' || stop !== '1')
      throw new Error(T.arg(T.PORT_BAD_SETTINGS, name, settings));
    if (this.isOpen) await this.close();
    try {
      await this.port.open({ baudRate, dataBits: 8, stopBits: 1, parity: 'none', flowControl: 'none', bufferSize: 4096 });
    } catch (e) {
      throw new Error(openFailure(name, e));
    }
    this.isOpen = true;
    this.failure = '';
    this.clear();
    this.port.addEventListener('disconnect', this.onDisconnect);
    navigator.serial?.addEventListener('disconnect', this.onDisconnect);
    if (!this.port.readable || !this.port.writable) {
      this.lost();
      throw new Error(this.failure);
    }
    this.writer = this.port.writable.getWriter();
    this.loop = this.readLoop();
  }

  // Reads until the port is closed. A line error (framing, parity, a break, an overrun, as when
  // the module changes speed before the host) loses bytes, and the browser gives a new stream to
  // read on; any other failure while the port is open means the adapter is gone.
  private async readLoop(): Promise<void> {
    while (this.isOpen && this.port.readable) {
      const reader = this.port.readable.getReader();
      this.reader = reader;
      try {
        for (;;) {
          const { value, done } = await reader.read();
          if (done) return;
          if (value && value.length) this.arrived(value);
        }
      } catch (e) {
        if (!(e instanceof DOMException && LINE_ERRORS.includes(e.name))) {
          if (this.isOpen) this.lost();
          return;
        }
      } finally {
        reader.releaseLock();
      }
    }
  }

  private lost(): void {
    if (!this.failure) this.failure = T.arg(T.PORT_UNPLUGGED_READ, this.name);
    this.wakeUp();
  }

  async dtrOff(): Promise<void> {
    try {
      await this.port.setSignals({ dataTerminalReady: false });
    } catch {
      // An adapter without the line; a lost one shows at the next read or write.
    }
  }

  async close(): Promise<void> {
    if (!this.isOpen) return;
    this.isOpen = false;
    this.port.removeEventListener('disconnect', this.onDisconnect);
    navigator.serial?.removeEventListener('disconnect', this.onDisconnect);
    const reader = this.reader;
    const writer = this.writer;
    this.reader = null;
    this.writer = null;
    await this.written;
    // Late bytes go with the port, as closing a port throws them away.
    try {
      await reader?.cancel();
    } catch {
      /* already failed */
    }
    await this.loop;
    this.loop = null;
    writer?.releaseLock();
    try {
      await this.port.close();
    } catch {
      /* an unplugged adapter is closed already */
    }
    this.clear();
    this.wakeUp();
  }

  // Handed to the browser at once (a command is a few bytes, written in order): the transfer
  // goes on to wait for the reply, and a write that fails shows there.
  write(bytes: Uint8Array): void {
    if (!this.writer || this.failure) throw new Error(T.arg(T.PORT_UNPLUGGED_WRITE, this.name));
    this.written = this.writer.write(bytes).catch(() => {
      if (this.isOpen) {
        this.failure = T.arg(T.PORT_UNPLUGGED_WRITE, this.name);
        this.wakeUp();
      }
    });
  }
}
