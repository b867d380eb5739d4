// The transfer log: a line for every download, upload and comparison that reached for a device,
// so that a technician can tell later what went to which module, from which file, when, and how
// it ended. Kept in the browser's storage (the newest entries), saved by the user as text.

import type { TransferResult, VerifyResult } from '../../../wasm/zezudi';
import * as T from './texts';

export const LOG_KEY = 'zezudi.serial.log';
export const LOG_KEPT = 1000;
// A field is cut to this many characters, so that the log's size has a bound.
const FIELD_MAX = 1024;

export interface LogEntry {
  when: string; // "2026-12-08 07:40:05 UTC"
  action: string; // "download", "upload", "compare"
  port: string;
  file: string;
  outcome: string; // "complete", "failed: ...", "match", "differs", "cancelled", ...
  checksum: string;
}

/** "2026-12-08 07:40:05 UTC" for `date`. */
export function stamp(date: Date): string {
  return date.toISOString().slice(0, 19).replace('T', ' ') + ' UTC';
}

/** The entry for a transfer that reached for a device. */
export function entryFor(action: string, port: string, file: string, r: TransferResult, now: Date): LogEntry {
  const verify = r as Partial<VerifyResult>;
  let outcome: string =
    r.outcome === 'complete'
      ? verify.match === undefined ? 'complete' : verify.match ? 'match' : 'differs'
      : { failed: 'failed', noConnect: 'no answer', portError: 'port error', cancelled: 'cancelled' }[r.outcome];
  if (r.outcome !== 'complete' && r.reason) outcome += ': ' + r.reason;
  const cut = (s: string) => s.replace(/[\t\r\n]/g, ' ').slice(0, FIELD_MAX);
  return { when: stamp(now), action, port: cut(port), file: cut(file), outcome: cut(outcome), checksum: cut(r.deviceChecksum) };
}

// Control characters, the direction overrides that make text read otherwise than it is stored,
// and halves of characters are written as the \xNN of their UTF-8 bytes.
const UNSHOWN = /[\u0000-\u001f\u007f-\u009f\u202a-\u202e\u2066-\u2069]|[\ud800-\udbff](?![\udc00-\udfff])|(?<![\ud800-\udbff])[\udc00-\udfff]/g;

function shown(text: string): string {
  return text.replace(UNSHOWN, (c) => {
    const u = c.charCodeAt(0);
    const bytes = u < 0x80 ? [u] : u < 0x800 ? [0xc0 | (u >> 6), 0x80 | (u & 63)] : [0xe0 | (u >> 12), 0x80 | ((u >> 6) & 63), 0x80 | (u & 63)];
    return bytes.map((b) => '\\x' + b.toString(16).toUpperCase().padStart(2, '0')).join('');
  });
}

/** The entries as lines for people, oldest first; "" when there are none. */
export function logText(entries: LogEntry[]): string {
  return entries
    .map((e) =>
      `${shown(e.when)}  ${shown(e.action)} ${e.file ? shown(e.file) + ' ' : ''}on ${shown(e.port)}: ${shown(e.outcome)}` +
      (e.checksum ? ` (device checksum ${shown(e.checksum)})` : '') + '\n')
    .join('');
}

export class TransferLog {
  constructor(private readonly storage: Storage | null) {}

  entries(): LogEntry[] {
    try {
      const parsed: unknown = JSON.parse(this.storage?.getItem(LOG_KEY) ?? '[]');
      if (!Array.isArray(parsed)) return [];
      return parsed.filter((e): e is LogEntry =>
        !!e && ['when', 'action', 'port', 'file', 'outcome', 'checksum'].every((k) => typeof e[k] === 'string'));
    } catch {
      return []; // not a log this page wrote: a new one is started
    }
  }

  /** Adds `entry` as the newest; '' or why it could not be kept. */
  append(entry: LogEntry): string {
    if (!this.storage) return T.LOG_NO_STORAGE;
    let all = [...this.entries(), entry].slice(-LOG_KEPT);
    // A full storage gives up the oldest entries first.
    for (;;) {
      try {
        this.storage.setItem(LOG_KEY, JSON.stringify(all));
        return '';
      } catch {
        if (all.length <= 1) return T.LOG_STORAGE_FULL;
        all = all.slice(Math.ceil(all.length / 2));
      }
    }
  }

  text(): string {
    return logText(this.entries()) || T.LOG_EMPTY;
  }
}
