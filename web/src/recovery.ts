// Unsaved work kept in the browser's storage a moment after every change, so that a closed tab or
// a crash loses nothing; offered at the next start as the desktop offers its recovery copies.
// Each page holds a lock while it lives: a copy whose page holds none is an orphan.
import type { ZezUdiModule } from '../../wasm/zezudi';
import type { Doc } from './doc';
import * as dialogs from './dialogs';
import * as store from './store';
import { fill, kNewConfiguration, kNoFile, kRecoveryFailed, kRecoveryOffer, kTitleRecovery } from './texts';

interface Copy { cdf: Uint8Array; fileName: string; written: number; handle: FileSystemFileHandle | null }

const kDelayMs = 400;
const kLockPrefix = 'zezudi-page-';

function newId(): string {
  return typeof crypto.randomUUID === 'function' ? crypto.randomUUID()
    : `${Date.now()}-${Math.random().toString(36).slice(2)}`;
}

export class Recovery {
  private readonly id = newId();
  private timer = 0;
  private toldFailure = false;
  say: (text: string) => void = () => {};

  constructor(private core: ZezUdiModule, private doc: Doc) {
    navigator.locks?.request(kLockPrefix + this.id, () => new Promise<void>(() => {})).catch(() => {});
  }

  /** After a change: the copy is written (or dropped) shortly, once the edits pause. */
  changed(): void {
    window.clearTimeout(this.timer);
    this.timer = window.setTimeout(() => void this.keepNow(), kDelayMs);
  }

  async keepNow(): Promise<void> {
    window.clearTimeout(this.timer);
    const revision = this.doc.revision;
    try {
      if (!this.doc.changed) {
        await store.remove('recovery', this.id);
      } else {
        const copy: Copy = { cdf: this.doc.cdf, fileName: this.doc.fileName, written: Date.now(), handle: this.doc.handle };
        await store.put('recovery', this.id, copy);
        this.toldFailure = false;
      }
      document.body.dataset.kept = String(revision);
    } catch (e) {
      if (!this.toldFailure) this.say(fill(kRecoveryFailed, e instanceof Error ? e.message : String(e)));
      this.toldFailure = true;
    }
  }

  /** The copies of pages that ended without saving, offered one at a time. */
  async offer(): Promise<void> {
    let ids: string[];
    let live = new Set<string>();
    try {
      ids = await store.keys('recovery');
      const held = await navigator.locks?.query();
      live = new Set((held?.held ?? []).map((l) => (l.name ?? '').replace(kLockPrefix, '')));
    } catch {
      return;
    }
    for (const id of ids) {
      if (id === this.id || live.has(id)) continue;
      const copy = await store.get<Copy>('recovery', id).catch(() => undefined);
      if (!copy) continue;
      const named = copy.fileName && copy.fileName !== kNoFile;
      const when = new Date(copy.written).toLocaleString(undefined, { dateStyle: 'full', timeStyle: 'long' });
      const text = fill(kRecoveryOffer, named ? copy.fileName : kNewConfiguration, when);
      if (!(await dialogs.ask(text, kTitleRecovery, 'question'))) {
        await store.remove('recovery', id).catch(() => {});
        continue;
      }
      try {
        this.core.checkCdf(copy.cdf);
      } catch (e) {
        await dialogs.message(e instanceof Error ? e.message : String(e), kTitleRecovery, 'critical');
        continue; // kept for the next start
      }
      // Unsaved: only a Save writes the user's file.
      this.doc.replace(copy.cdf, named ? copy.fileName : kNoFile, true, copy.handle);
      // This page's own copy first, so the changes are never in no copy at all.
      await this.keepNow();
      await store.remove('recovery', id).catch(() => {});
      return;
    }
  }
}
