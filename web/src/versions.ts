// Previous versions of the files Save replaces, kept in the browser's storage as the desktop keeps
// them in its data folder: before a save replaces a file that holds anything, what it holds is
// kept, the last 20 of each file, newest first. A page sees no folders: a file is known by its
// name.
import * as store from './store';

export const kVersionsKept = 20;

interface Kept { bytes: Uint8Array; written: number }
export interface Version { bytes: Uint8Array; written: string; size: number }

/** A time as the desktop lists its versions: "2026-12-07 21:30:05 UTC". */
function stamp(ms: number): string {
  return new Date(ms).toISOString().slice(0, 19).replace('T', ' ') + ' UTC';
}

/** Whether this browser has the storage versions are kept in (not in some private windows). */
export const available = (): boolean => typeof indexedDB !== 'undefined';

/** Keeps `bytes`, what the file `name` held, as its newest version; the oldest beyond the limit
 *  go. Rejects with the storage's reason when it cannot be kept. */
export async function keep(name: string, bytes: Uint8Array): Promise<void> {
  const kept = (await store.get<Kept[]>('versions', name)) ?? [];
  await store.put('versions', name, [{ bytes, written: Date.now() }, ...kept].slice(0, kVersionsKept));
}

/** The versions kept of the file `name`, newest first. */
export async function list(name: string): Promise<Version[]> {
  const kept = (await store.get<Kept[]>('versions', name)) ?? [];
  return kept.map((k) => ({ bytes: k.bytes, written: stamp(k.written), size: k.bytes.length }));
}
