// Download, Upload and Compare with Device in the browser: the desktop's questions, the core's
// transfer against the chosen port with its captions and Cancel, and the desktop's messages of
// the outcome; every transfer that reached for a device goes into the transfer log. The core
// runs the whole sequence; this only asks, shows and logs.

import type { EmulatedPort, HostPort, TransferOptions, TransferResult, ZezUdiModule } from '../../../wasm/zezudi';
import { TransferLog, entryFor } from './log';
import { EMULATED, PortList, type Target } from './ports';
import * as T from './texts';
import { WebSerialPort } from './WebSerialPort';

export interface TransferUi {
  /** A Yes/No question box with the desktop's texts; resolves true for Yes. */
  ask(text: string, title: string): Promise<boolean>;
  /** A message box; icon as the desktop's. */
  message(text: string, title: string, icon: 'information' | 'warning' | 'critical'): Promise<void>;
  /** The transfer caption (the desktop's lblComPrg text); null hides it. */
  progress(caption: string | null): void;
  /** Shows the status bar's Cancel while a transfer runs (null hides it). */
  busy(cancel: (() => void) | null): void;
}

export interface TransferHost {
  ui: TransferUi;
  /** The record's CDF bytes as they are now. */
  current(): Uint8Array;
  /** Replaces the record with an uploaded one (the editor marks it as the desktop does). */
  replace(cdf: Uint8Array): void;
  // Optional, used when the editor gives them:
  /** The record has unsaved changes (Upload asks before discarding them; without it, always). */
  changed?(): boolean;
  /** The record's file name, for the transfer log. */
  fileName?(): string;
  /** A failed upload: the record is cleared as File > New does (without it: replace(blank)). */
  cleared?(): Promise<void> | void;
  /** What a transfer says in the status bar ("Downloaded to COM1"). */
  say?(text: string): void;
  /** The chosen port changed (the status bar names it). */
  portChanged?(): void;
  /** After Compare with Device: the record with the device's segments where they differ, which
   *  the grid frames, named `name` in the frames' tips; null when no segment differs. */
  compared?(other: Uint8Array | null, name: string): void;
}

const RECORD_BYTES = 12288;
const SERIAL_NOTICE_KEY = 'zezudi.serial.noticeShown';

function storageOrNull(): Storage | null {
  try {
    return typeof localStorage === 'undefined' ? null : localStorage;
  } catch {
    return null; // storage refused for this page (file:// in some settings)
  }
}

export function createTransfers(core: ZezUdiModule, host: TransferHost) {
  const ui = host.ui;
  const serial = typeof navigator !== 'undefined' ? navigator.serial : undefined;
  const storage = storageOrNull();
  const log = new TransferLog(storage);
  // The Connect menus showing (a closed menu leaves the page and is dropped here too).
  const menus = new Set<HTMLElement>();
  const ports = new PortList(serial, storage, () => {
    menus.forEach((m) => (m.isConnected ? fill(m) : menus.delete(m)));
    host.portChanged?.();
  });
  let emulated: EmulatedPort | null = null;
  let running = false;
  let noticeShown = false;
  void ports.refresh();

  function target(): Target {
    const t = ports.target();
    if (!serial && !t.emulated) return { ...t, error: T.NO_SERIAL_NOTICE };
    return t;
  }

  function noticeOnce(): void {
    if (serial || noticeShown) return;
    noticeShown = true;
    try {
      if (storage?.getItem(SERIAL_NOTICE_KEY)) return;
      storage?.setItem(SERIAL_NOTICE_KEY, '1');
    } catch {
      /* shown once for this page */
    }
    setTimeout(() => void ui.message(T.NO_SERIAL_NOTICE, 'Connect', 'information'));
  }

  function fill(menu: HTMLElement): void {
    const item = (caption: string, role: string, action: () => void, checked?: boolean) => {
      const b = document.createElement('button');
      b.type = 'button';
      b.setAttribute('role', role);
      b.className = 'menu-item';
      b.textContent = caption;
      if (checked !== undefined) b.setAttribute('aria-checked', String(checked));
      b.addEventListener('click', action);
      return b;
    };
    const items: HTMLElement[] = [];
    if (!serial) {
      const note = item(T.NO_SERIAL_ITEM, 'menuitem', () => void ui.message(T.NO_SERIAL_NOTICE, 'Connect', 'information'));
      note.setAttribute('aria-disabled', 'true');
      items.push(note);
    }
    for (const p of ports.items()) {
      if (p.key === EMULATED) continue;
      items.push(item(p.caption, 'menuitemradio', () => ports.choose(p.key), p.chosen));
    }
    if (serial)
      items.push(item(T.ADD_PORT_ITEM, 'menuitem', async () => {
        const said = await ports.add();
        if (said) await ui.message(said, T.ERROR_TITLE, 'critical');
      }));
    const emu = ports.items().find((p) => p.key === EMULATED)!;
    items.push(item(emu.caption, 'menuitemradio', () => ports.choose(EMULATED), emu.chosen));
    menu.replaceChildren(...items);
  }

  // The chosen port can be used: it is there and opens. Opened and closed again before the
  // question, so that a port that cannot be used is said before the module is power-cycled.
  async function portReady(): Promise<boolean> {
    await ports.refresh(); // as the browser lists the ports now
    const t = target();
    if (t.error) {
      await ui.message(t.error, T.ERROR_TITLE, 'critical');
      return false;
    }
    if (t.emulated) return true;
    const trial = new WebSerialPort(t.port!);
    try {
      await trial.open(t.name, '38400,n,8,1');
      await trial.close();
      return true;
    } catch (e) {
      await trial.close();
      await ui.message((e as Error).message + T.PORT_UNUSABLE, T.ERROR_TITLE, 'critical');
      return false;
    }
  }

  async function powerCycled(command: string, sayCancelled: boolean): Promise<boolean> {
    if (!(await portReady())) return false;
    if (await ui.ask(T.arg(T.PORT_LINE, target().name) + T.arg(T.POWER_CYCLE_QUESTION, command), command)) return true;
    if (sayCancelled) await ui.message(command + T.CANCELLED, command, 'information');
    return false;
  }

  type Run<R> = (port: HostPort, name: string, options: TransferOptions) => Promise<R>;

  // Runs a transfer of the core on the chosen port, with Cancel shown while it runs. Cancel
  // stops it at once: the core ends the port's pending wait and reports the transfer cancelled.
  async function run<R extends TransferResult>(firstCaption: string, transfer: Run<R>): Promise<R> {
    ui.progress(firstCaption);
    const t = target();
    if (t.error) return { outcome: 'portError', reason: t.error, hostChecksum: '', deviceChecksum: '' } as R;
    const port: HostPort = t.emulated ? (emulated ??= new core.EmulatedPort()) : new WebSerialPort(t.port!);
    let cancelled = false;
    running = true;
    ui.busy(() => {
      cancelled = true;
      core.cancel(port);
    });
    let r: R;
    try {
      r = await transfer(port, t.name, { onCaption: (caption) => ui.progress(caption) });
    } catch (e) {
      await port.close();
      r = { outcome: 'portError', reason: (e as Error).message, hostChecksum: '', deviceChecksum: '' } as R;
    } finally {
      ui.busy(null);
      running = false;
    }
    if (cancelled && r.outcome !== 'complete') r = { ...r, outcome: 'cancelled', reason: '' };
    return r;
  }

  async function report(r: TransferResult, command: string, complete: string, failed: string, name: string) {
    switch (r.outcome) {
      case 'complete':
        return ui.message(complete, command, 'information');
      case 'failed':
        return ui.message(failed + '\r\n' + r.reason + (r.reason ? ' ' : '') + T.arg(T.FAILED_PORT, name),
          command + T.FAILURE_TITLE, 'critical');
      case 'noConnect':
        return ui.message(T.arg(T.NO_CONNECT, name), T.ERROR_TITLE, 'critical');
      case 'portError':
        return ui.message(r.reason, T.ERROR_TITLE, 'critical');
      case 'cancelled':
        return ui.message(command + T.CANCELLED_LOWER + (command === T.DOWNLOAD ? T.DOWNLOAD_CANCELLED_NOTE : T.OTHER_CANCELLED_NOTE),
          command, 'warning');
    }
  }

  async function logged(action: string, r: TransferResult, name: string): Promise<void> {
    // A port that could not be used reached no device: nothing to log.
    if (r.outcome === 'portError') return;
    const said = log.append(entryFor(action, name, host.fileName?.() ?? '', r, new Date()));
    if (said) await ui.message(said, T.TRANSFER_LOG_TITLE, 'warning');
  }

  /** Download; with `verifyAfter` a complete download is compared with the device at once. */
  async function download(verifyAfter = false): Promise<void> {
    if (running) return;
    noticeOnce();
    const cdf = host.current();
    let bad: { segments: number };
    try {
      bad = core.checkCdf(cdf);
    } catch (e) {
      return ui.message((e as Error).message, T.ERROR_TITLE, 'critical');
    }
    // Values outside the codes are asked about before anything reaches the device.
    if (bad.segments > 0 && !(await ui.ask(T.arg(T.INVALID_VALUES_QUESTION, bad.segments), T.DOWNLOAD))) return;
    if (!(await powerCycled(T.DOWNLOAD, true))) return;
    const name = target().name;
    // Said yes to: the values outside the codes go as the device runs them.
    const r = await run(T.DOWNLOAD_FIRST_CAPTION, (port, n, o) => core.download(cdf, port, n, { ...o, force: true }));
    await logged('download', r, name);
    await report(r, T.DOWNLOAD, T.DOWNLOAD_COMPLETE, T.DOWNLOAD_FAILED, name);
    host.say?.(T.arg(r.outcome === 'complete' ? T.SAID_DOWNLOADED : r.outcome === 'cancelled' ? T.SAID_DOWNLOAD_CANCELLED
      : T.SAID_DOWNLOAD_FAILED, name));
    ui.progress(null);
    if (r.outcome === 'complete' && verifyAfter) await compare(false);
  }

  async function upload(): Promise<void> {
    if (running) return;
    noticeOnce();
    if ((host.changed?.() ?? true) && !(await ui.ask(T.DISCARD_CHANGES, T.UPLOAD))) return;
    await ui.message(T.UPLOAD_NOTICE, T.UPLOAD_NOTICE_TITLE, 'information');
    if (!(await powerCycled(T.UPLOAD, true))) return;
    const name = target().name;
    const r = await run(T.UPLOAD_FIRST_CAPTION, (port, n, o) => core.upload(port, n, o));
    await logged('upload', r, name);
    await report(r, T.UPLOAD, T.UPLOAD_COMPLETE, T.UPLOAD_FAILED, name);
    if (r.outcome === 'cancelled') return ui.progress(null); // nothing was received: nothing changes
    // A failed upload clears the record, as its message says (File > New, with its question).
    if (r.outcome === 'failed') await (host.cleared ? host.cleared() : host.replace(new Uint8Array(RECORD_BYTES)));
    ui.progress(null);
    // Only a verified upload becomes the record; whatever came, it is unsaved and not compiled.
    host.replace(r.outcome === 'complete' && r.cdf ? r.cdf : host.current());
    host.say?.(T.arg(r.outcome === 'complete' ? T.SAID_UPLOADED : T.SAID_UPLOAD_FAILED, name));
  }

  /** Compare with Device; `ask` false right after a download (the module was just cycled). */
  async function compare(ask = true): Promise<void> {
    if (running) return;
    noticeOnce();
    if (ask && !(await powerCycled(T.COMPARE, false))) return;
    const cdf = host.current();
    const name = target().name;
    const r = await run(T.COMPARE_FIRST_CAPTION, (port, n, o) => core.verify(cdf, port, n, o));
    ui.progress(null);
    await logged('compare', r, name);
    if (r.outcome !== 'complete') return report(r, T.COMPARE, '', T.COMPARE_FAILED, name);
    await ui.message(r.match ? T.COMPARE_MATCH : T.COMPARE_DIFFERS + r.report.join('\r\n'), T.COMPARE,
      r.match ? 'information' : 'warning');
    host.compared?.(r.differing, T.COMPARED_DEVICE);
  }

  return {
    /** Fills the Connect menu element with the granted ports, "Add port…", the emulator. */
    renderConnectMenu(menu: HTMLElement): void {
      menus.forEach((m) => m.isConnected || menus.delete(m));
      menus.add(menu);
      fill(menu);
      noticeOnce();
    },
    download,
    upload,
    compare,
    /** The transfer log as text, for File ▸ Save Transfer Log or similar. */
    logText: () => log.text(),
    /** The chosen port as the status bar names it. */
    portName: () => target().name,
    serialAvailable: !!serial,
  };
}
