// The ports a transfer may use: the serial ports the user granted this page, known by what
// identifies their adapter (USB vendor and product, and the order among adapters that share
// them), and the emulated device. The choice is remembered in the browser's storage by that
// identity; an adapter that is not plugged in stays chosen and is shown as missing, never
// silently replaced by another.

import * as T from './texts';

export const EMULATED = 'emulated';
const CHOICE_KEY = 'zezudi.serial.port';

// Makers of the usual USB serial adapters, for the Connect menu.
const VENDORS: Record<number, string> = {
  0x0403: 'FTDI',
  0x067b: 'Prolific',
  0x10c4: 'Silicon Labs',
  0x1a86: 'WCH',
  0x2341: 'Arduino',
  0x0557: 'ATEN',
};

export interface PortItem {
  /** The identity the choice is kept by. */
  key: string;
  caption: string;
  missing: boolean;
  chosen: boolean;
}

export interface Target {
  emulated: boolean;
  port: SerialPort | null;
  /** As the user would name it (the log, the questions and the failure messages). */
  name: string;
  /** Why nothing can be sent; empty when the target can be used. */
  error: string;
}

function hex4(n: number): string {
  return n.toString(16).toUpperCase().padStart(4, '0');
}

/** "usb:0403:6001#0": an adapter's identity, `n` its place among adapters alike. */
export function identityOf(info: SerialPortInfo, n: number): string {
  const usb = info.usbVendorId !== undefined && info.usbProductId !== undefined;
  return (usb ? `usb:${hex4(info.usbVendorId!)}:${hex4(info.usbProductId!)}` : 'serial') + `#${n}`;
}

/** The adapter an identity stands for, in words. */
export function identityText(key: string): string {
  const m = /^usb:([0-9A-F]{4}):([0-9A-F]{4})#(\d+)$/.exec(key);
  const n = Number(key.slice(key.lastIndexOf('#') + 1)) || 0;
  const nth = n > 0 ? ` #${n + 1}` : '';
  if (!m) return `Serial port${nth}`;
  const vendor = VENDORS[parseInt(m[1], 16)];
  return `USB serial adapter ${m[1]}:${m[2]}${vendor ? ` (${vendor})` : ''}${nth}`;
}

export class PortList {
  private ports: SerialPort[] = [];
  private keys: string[] = [];
  private choice: string;

  constructor(
    private readonly serial: Serial | undefined,
    private readonly storage: Storage | null,
    private readonly changed: () => void,
  ) {
    this.choice = this.read() ?? '';
    const refresh = () => void this.refresh();
    serial?.addEventListener('connect', refresh);
    serial?.addEventListener('disconnect', refresh);
  }

  /** Re-reads the granted ports. */
  async refresh(): Promise<void> {
    const ports = this.serial ? await this.serial.getPorts() : [];
    const seen = new Map<string, number>();
    this.keys = ports.map((p) => {
      const info = p.getInfo();
      const base = identityOf(info, 0).replace(/#0$/, '');
      const n = seen.get(base) ?? 0;
      seen.set(base, n + 1);
      return identityOf(info, n);
    });
    this.ports = ports;
    this.changed();
  }

  /** The granted ports, the chosen one also when missing, then the emulated device. */
  items(): PortItem[] {
    const items: PortItem[] = this.keys.map((key) => ({
      key,
      caption: identityText(key),
      missing: false,
      chosen: key === this.choice,
    }));
    if (this.choice && this.choice !== EMULATED && !this.keys.includes(this.choice))
      items.push({ key: this.choice, caption: identityText(this.choice) + T.MISSING, missing: true, chosen: true });
    items.push({ key: EMULATED, caption: T.EMULATED_ITEM.replace('&', ''), missing: false, chosen: this.choice === EMULATED });
    return items;
  }

  choose(key: string): void {
    this.choice = key;
    try {
      this.storage?.setItem(CHOICE_KEY, key);
    } catch {
      /* storage full or refused: the choice holds for this page */
    }
    this.changed();
  }

  /** The browser's chooser; the granted port becomes the choice. A message, or '' when none. */
  async add(): Promise<string> {
    if (!this.serial) return T.NO_SERIAL_NOTICE;
    let port: SerialPort;
    try {
      port = await this.serial.requestPort();
    } catch (e) {
      const kind = e instanceof DOMException ? e.name : '';
      // The chooser closed without a port: nothing to say, the choice stays.
      if (kind === 'NotFoundError' || kind === 'AbortError') return '';
      return T.SERIAL_DENIED;
    }
    await this.refresh();
    const at = this.ports.indexOf(port);
    if (at < 0) return T.arg(T.SERIAL_NOT_GRANTED, identityText(identityOf(port.getInfo(), 0)));
    this.choose(this.keys[at]);
    return '';
  }

  /** What a transfer would use now. */
  target(): Target {
    if (this.choice === EMULATED) return { emulated: true, port: null, name: T.EMULATED_NAME, error: '' };
    if (!this.choice) return { emulated: false, port: null, name: '', error: T.NO_PORT_CHOSEN };
    const at = this.keys.indexOf(this.choice);
    const name = identityText(this.choice);
    if (at < 0)
      return { emulated: false, port: null, name: name + T.MISSING, error: T.arg(T.PORT_NOT_CONNECTED, name) };
    return { emulated: false, port: this.ports[at], name, error: '' };
  }

  private read(): string | null {
    try {
      return this.storage?.getItem(CHOICE_KEY) ?? null;
    } catch {
      return null;
    }
  }
}
