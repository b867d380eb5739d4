// New, Open, Save and Save As of CDF files: the File System Access API where the browser has it
// (Save writes back to the file it opened, through the browser's atomic swap file), else a file
// input and a download. The bytes are the core's; opening a text form makes its configuration.
import type { ZezUdiModule } from '../../wasm/zezudi';
import { Doc } from './doc';
import * as dialogs from './dialogs';
import * as store from './store';
import * as versions from './versions';
import { fill, kChangedElsewhere, kHoldsConfiguration, kFileNameAsk, kDiscardAnyChanges, kDiscardChanges, kExtension, kFilter,
         kInvalidValues, kKeptNote, kNoFile, kNoFileVersions, kNotAConfiguration, kNotKept, kNotKeptAsk, kNoLongerExists,
         kNoVersions, kOpened, kSaved, kShowingVersion, kTitleNew, kTitleOpen, kTitleSave, kTitleSaveAs, kTitleVersions,
         kVersionItem, kVersionsOf } from './texts';

const kRecentLimit = 8;
/** What a text file is, for the save picker. */
export interface TextKind { description: string; mime: string; ext: string }
const kPlainText: TextKind = { description: 'Text', mime: 'text/plain', ext: '.txt' };
interface Recent { name: string; handle: FileSystemFileHandle }

type Picker = {
  showOpenFilePicker?: (o: object) => Promise<FileSystemFileHandle[]>;
  showSaveFilePicker?: (o: object) => Promise<FileSystemFileHandle>;
};
const picker = () => window as unknown as Picker;
/** A stored handle's permission calls (not yet in TypeScript's DOM types). */
type Permissions = {
  queryPermission?: (o: { mode: string }) => Promise<string>;
  requestPermission?: (o: { mode: string }) => Promise<string>;
};
const kTypes = [{ description: kFilter, accept: { 'application/octet-stream': ['.CDF', '.cdf'] } }];

function errorText(e: unknown): string {
  return e instanceof Error ? e.message : String(e);
}

function same(a: Uint8Array, b: Uint8Array): boolean {
  return a.length === b.length && a.every((v, i) => v === b[i]);
}

/** Bytes handed to the browser as a download named `name`. */
function offer(name: string, blob: Blob): void {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

export class FileFlow {
  recent: Recent[] = [];
  /** The status bar's message. */
  say: (text: string) => void = () => {};
  /** Saved, opened or emptied: nothing left to recover. */
  onClean: () => void = () => {};

  constructor(private core: ZezUdiModule, private doc: Doc) {
    store.get<Recent[]>('recent', 'list').then((r) => { this.recent = r ?? []; }, () => {});
  }

  async mayDiscard(title: string, text = kDiscardChanges, icon: dialogs.Icon = 'none'): Promise<boolean> {
    return !this.doc.changed || dialogs.ask(text, title, icon);
  }

  async newFile(): Promise<void> {
    if (!(await this.mayDiscard(kTitleNew))) return;
    // The file name and the flag stay: Save then writes the emptied record to the last file.
    this.doc.replace(Doc.empty(this.core), null, this.doc.changed);
    this.doc.fromFile = false;
    this.onClean();
  }

  async open(): Promise<void> {
    if (await this.mayDiscard(kTitleOpen, kDiscardAnyChanges, 'question')) {
      const chosen = await this.choose();
      if (chosen) await this.load(chosen.file, chosen.handle);
    }
    this.doc.restart(); // whatever the answers, output 1 shown and not compiled
  }

  /** A file dropped on the window or chosen from the recent files, after the question. */
  async openAsked(file: File, handle: FileSystemFileHandle | null): Promise<void> {
    if (!(await this.mayDiscard(kTitleOpen, kDiscardAnyChanges, 'question'))) return;
    await this.load(file, handle);
    this.doc.restart();
  }

  async openRecent(r: Recent): Promise<void> {
    let file: File;
    try {
      const h = r.handle as unknown as Permissions;
      if ((await h.queryPermission?.({ mode: 'readwrite' })) !== 'granted')
        await h.requestPermission?.({ mode: 'readwrite' });
      file = await r.handle.getFile();
    } catch {
      this.recent = this.recent.filter((x) => x !== r);
      this.keepRecent();
      await dialogs.message(fill(kNoLongerExists, r.name), kTitleOpen, 'warning');
      return;
    }
    await this.openAsked(file, r.handle);
  }

  /** A file the user picks (`title` heads a failure's box), or null when none was. */
  async choose(title = kTitleOpen): Promise<{ file: File; handle: FileSystemFileHandle | null } | null> {
    const p = picker();
    if (p.showOpenFilePicker) {
      try {
        const [handle] = await p.showOpenFilePicker({ types: kTypes, excludeAcceptAllOption: false, id: 'cdf' });
        return { file: await handle.getFile(), handle };
      } catch (e) {
        if ((e as DOMException).name === 'AbortError') return null;
        await dialogs.message(errorText(e), title, 'critical');
        return null;
      }
    }
    return new Promise((resolve) => {
      const input = document.createElement('input');
      input.type = 'file';
      input.accept = '.CDF,.cdf,.zez,.txt';
      input.hidden = true;
      const done = (chosen: File | undefined) => {
        input.remove();
        resolve(chosen ? { file: chosen, handle: null } : null);
      };
      input.addEventListener('change', () => done(input.files?.[0]));
      input.addEventListener('cancel', () => done(undefined));
      document.body.append(input);
      input.click();
    });
  }

  async load(file: File, handle: FileSystemFileHandle | null): Promise<void> {
    const bytes = new Uint8Array(await file.arrayBuffer());
    let cdf: Uint8Array;
    let invalid = 0;
    const text = this.core.looksLikeText(bytes);
    let looksLike: string | null = null;
    try {
      // A text form is drawn into a configuration of its own: Save then asks for a CDF name.
      if (text) {
        cdf = this.core.fromText(new TextDecoder().decode(bytes));
      } else {
        const opened = this.core.openCdf(bytes, file.name);
        ({ cdf, looksLike } = opened);
        invalid = opened.invalid.segments;
      }
    } catch (e) {
      await dialogs.message(errorText(e), kTitleOpen, 'critical');
      return;
    }
    if (text) {
      this.doc.replace(cdf, kNoFile, true, null);
      this.doc.fromFile = false;
    } else {
      this.doc.replace(cdf, file.name, false, handle);
      this.doc.known = bytes; // the file as read, to see it changed by another program
      this.remember(file.name, handle);
      this.onClean();
    }
    this.say(fill(kOpened, file.name));
    if (invalid > 0) {
      // What the file looks like, when it is plainly something else, comes first.
      const what = looksLike ? fill(kNotAConfiguration, looksLike) : '';
      await dialogs.message(what + fill(kInvalidValues, invalid), kTitleOpen, 'warning');
    }
  }

  async save(): Promise<void> {
    const { doc } = this;
    if (!doc.handle) return this.saveAs();
    let now: Uint8Array | null = null;
    try {
      now = new Uint8Array(await (await doc.handle.getFile()).arrayBuffer());
    } catch {
      // a file gone is written again without a question
    }
    if (now && doc.known && !same(now, doc.known) &&
        !(await dialogs.ask(fill(kChangedElsewhere, doc.fileName) + (versions.available() ? kKeptNote : ''), kTitleSave,
          'warning')))
      return;
    await this.write(doc.handle, doc.fileName, kTitleSave);
  }

  async saveAs(): Promise<void> {
    const { doc } = this;
    const p = picker();
    if (p.showSaveFilePicker) {
      let handle: FileSystemFileHandle;
      try {
        // A configuration without a file suggests no name (the picker adds the extension).
        handle = await p.showSaveFilePicker({
          types: kTypes, id: 'cdf', ...(doc.hasFile ? { suggestedName: doc.fileName } : {}) });
      } catch (e) {
        if ((e as DOMException).name !== 'AbortError') await dialogs.message(errorText(e), kTitleSaveAs, 'critical');
        return;
      }
      await this.write(handle, handle.name, kTitleSaveAs);
      return;
    }
    // Without the API: a download, under a name asked for.
    let name = await dialogs.askText(kFileNameAsk, kTitleSaveAs, doc.hasFile ? doc.fileName : '');
    if (!name) return;
    if (!/\.[^.]+$/.test(name)) name += kExtension;
    offer(name, new Blob([doc.cdf as Uint8Array<ArrayBuffer>], { type: 'application/octet-stream' }));
    doc.markSaved(name, null);
    // The browser may still cancel or block a download: the work stays marked changed and its
    // recovery copy is kept until a save known to be written.
    doc.changed = true;
    this.say(fill(kSaved, name));
  }

  /** Text saved to a file the user names (the transfer log, a report); not the record. Gives the
   *  name written, or null when nothing was or the browser's download cannot say. A file that
   *  holds a configuration is never written over. */
  async saveText(text: string, suggested: string, title: string, kind = kPlainText): Promise<string | null> {
    const bytes = new TextEncoder().encode(text);
    const blob = new Blob([bytes], { type: kind.mime });
    const p = picker();
    if (!p.showSaveFilePicker) {
      const name = await dialogs.askText(kFileNameAsk, title, suggested);
      if (name) offer(name, blob);
      return null;
    }
    try {
      // Only files of the kind are offered: Chrome empties the file chosen here as its picker
      // closes, so a configuration chosen by its typed name is lost before the check below can
      // see it; that check holds where a picker leaves the file as it was.
      const handle = await p.showSaveFilePicker({ suggestedName: suggested, id: kind.ext.slice(1),
        excludeAcceptAllOption: true, types: [{ description: kind.description, accept: { [kind.mime]: [kind.ext] } }] });
      const old = await handle.getFile().then((f) => f.arrayBuffer(), () => new ArrayBuffer(0));
      if (this.core.holdsConfiguration(new Uint8Array(old))) {
        await dialogs.message(fill(kHoldsConfiguration, handle.name), title, 'critical');
        return null;
      }
      const w = await handle.createWritable();
      await w.write(bytes);
      await w.close();
      return handle.name;
    } catch (e) {
      if ((e as DOMException).name !== 'AbortError') await dialogs.message(errorText(e), title, 'critical');
      return null;
    }
  }

  /** File ▸ Previous Versions...: a version of the file Save writes, chosen from those kept, shown
   *  as unsaved changes to that file. */
  async previousVersions(): Promise<void> {
    const { doc } = this;
    let kept: versions.Version[] = [];
    try {
      if (doc.hasFile) kept = await versions.list(doc.fileName);
    } catch (e) {
      return dialogs.message(errorText(e), kTitleVersions, 'critical');
    }
    if (kept.length === 0) {
      const text = doc.hasFile ? fill(kNoVersions, doc.fileName) : kNoFileVersions;
      return dialogs.message(text, kTitleVersions, 'information');
    }
    const items = kept.map((v) => fill(kVersionItem, v.written, v.size));
    const chosen = await dialogs.choose(fill(kVersionsOf, doc.fileName), kTitleVersions, items);
    if (chosen < 0 || !(await this.mayDiscard(kTitleVersions))) return;
    let cdf: Uint8Array;
    try {
      cdf = this.core.openCdf(kept[chosen].bytes, doc.fileName).cdf;
    } catch (e) {
      return dialogs.message(errorText(e), kTitleVersions, 'critical');
    }
    // Unsaved changes to the same file: only a Save writes it (and keeps what it replaces).
    doc.replace(cdf, doc.fileName, true, doc.handle);
    this.say(fill(kShowingVersion, items[chosen]));
  }

  private async write(handle: FileSystemFileHandle, name: string, title: string): Promise<boolean> {
    let bytes: Uint8Array;
    let notKept = '';
    try {
      // A longer file keeps what follows the record, as the desktop's save keeps it.
      const old = new Uint8Array(await (await handle.getFile().catch(() => new File([], ''))).arrayBuffer());
      // What the file held is kept first; when it cannot be, the user decides whether to go on.
      if (old.length > 0) {
        const failed = await versions.keep(name, old).then(() => null, (e: unknown) => errorText(e));
        if (failed !== null) {
          if (!(await dialogs.ask(fill(kNotKeptAsk, name, failed), title, 'warning'))) return false;
          notKept = kNotKept;
        }
      }
      bytes = this.core.saveOver(this.doc.cdf, old);
      const w = await handle.createWritable();
      await w.write(bytes as Uint8Array<ArrayBuffer>);
      await w.close();
    } catch (e) {
      await dialogs.message(errorText(e), title, 'critical');
      return false;
    }
    this.doc.markSaved(name, handle);
    this.doc.known = bytes;
    this.remember(name, handle);
    this.say(fill(kSaved, name) + notKept);
    this.onClean();
    return true;
  }

  private remember(name: string, handle: FileSystemFileHandle | null): void {
    if (!handle) return;
    void (async () => {
      const kept: Recent[] = [{ name, handle }];
      for (const r of this.recent)
        if (kept.length < kRecentLimit && !(await r.handle.isSameEntry(handle).catch(() => false))) kept.push(r);
      this.recent = kept;
      this.keepRecent();
    })();
  }

  private keepRecent(): void {
    store.put('recent', 'list', this.recent).catch(() => {});
  }
}
