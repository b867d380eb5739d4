// The record being edited and what the window shows of it: the shown output, the file it came
// from, the change flag, whether it is compiled, and the diagram edits' undo history. Every
// change of the record itself is made by the core.
import type { ZezUdiModule } from '../../wasm/zezudi';
import { kNoFile } from './texts';

/** One edit: the changed outputs' segments before and after it, as the core's clip text. */
interface Part { output: number; before: string; after: string }
interface Step { what: string; parts: Part[] }

const kUndoLimit = 500;

export class Doc {
  cdf: Uint8Array;
  output = 0;
  /** The file's name as shown; kNoFile while there is none. */
  fileName = kNoFile;
  /** Where Save writes (the File System Access API); none for a download. */
  handle: FileSystemFileHandle | null = null;
  /** The bytes last read from or written to the file (to see it changed by another program). */
  known: Uint8Array | null = null;
  changed = false;
  compiled = false;
  /** Whether the record is the named file's content (not a recovered or uploaded copy). */
  fromFile = false;
  /** Grows with every change of the record. */
  revision = 0;
  private steps: Step[] = [];
  private index = 0;
  private cleanIndex = 0;
  private cleanFlag = false;
  private cleanNote = '';
  private listeners: Array<(what: 'record' | 'status' | 'restart') => void> = [];

  constructor(private core: ZezUdiModule) {
    this.cdf = Doc.empty(core);
    this.resetHistory();
  }

  /** An empty configuration: the text form of nothing, made by the core. */
  static empty(core: ZezUdiModule): Uint8Array {
    return core.fromText('zezudi-config 1\n');
  }

  get hasFile(): boolean {
    return this.fileName !== kNoFile;
  }

  on(listener: (what: 'record' | 'status' | 'restart') => void): void {
    this.listeners.push(listener);
  }

  private emit(what: 'record' | 'status' | 'restart'): void {
    for (const l of this.listeners) l(what);
  }

  private segments(cdf: Uint8Array, output: number): string {
    return this.core.copyRegion(cdf, output, 0, 255);
  }

  private put(output: number, clip: string): void {
    this.cdf = this.core.pasteRegion(this.cdf, output, 0, clip);
    ++this.revision;
  }

  /** A diagram edit of `output`: `edited` is the record after it (only that output differs). */
  edit(output: number, what: string, edited: Uint8Array): void {
    const before = this.segments(this.cdf, output);
    const after = this.segments(edited, output);
    this.output = output;
    if (before === after) {
      // Nothing changed, yet it was an edit: the flag is set as the desktop sets it.
      this.changed = true;
      this.compiled = false;
      this.emit('record');
      return;
    }
    this.push({ what, parts: [{ output, before, after }] });
  }

  /** An edit of any outputs (Rewire): one step of the history; how many outputs changed. */
  editOutputs(what: string, edited: Uint8Array): number {
    const parts: Part[] = [];
    for (let o = 0; o < 8; ++o) {
      const before = this.segments(this.cdf, o), after = this.segments(edited, o);
      if (before !== after) parts.push({ output: o, before, after });
    }
    if (parts.length === 0) this.edit(this.output, what, this.cdf);
    else this.push({ what, parts });
    return parts.length;
  }

  private push(step: Step): void {
    this.steps.splice(this.index);
    if (this.cleanIndex > this.index) this.cleanIndex = -1;
    this.steps.push(step);
    if (this.steps.length > kUndoLimit) {
      this.steps.shift();
      --this.cleanIndex;
    }
    this.index = this.steps.length;
    this.apply(step.parts.map((p) => [p.output, p.after]));
  }

  /** Puts each output's segments; the last one's output is shown. */
  private apply(tables: Array<[number, string]>): void {
    for (const [output, clip] of tables) this.put(output, clip);
    const clean = this.index === this.cleanIndex && this.core.note(this.cdf) === this.cleanNote;
    this.changed = clean ? this.cleanFlag : true;
    this.compiled = false;
    this.output = tables[tables.length - 1][0];
    this.emit('record');
  }

  get undoText(): string | null {
    return this.index > 0 ? this.steps[this.index - 1].what : null;
  }

  get redoText(): string | null {
    return this.index < this.steps.length ? this.steps[this.index].what : null;
  }

  undo(): void {
    if (this.index === 0) return;
    const step = this.steps[--this.index];
    this.apply(step.parts.map((p): [number, string] => [p.output, p.before]).reverse());
  }

  redo(): void {
    if (this.index >= this.steps.length) return;
    const step = this.steps[this.index++];
    this.apply(step.parts.map((p): [number, string] => [p.output, p.after]));
  }

  private resetHistory(): void {
    this.steps = [];
    this.index = this.cleanIndex = 0;
    this.cleanFlag = this.changed;
    this.cleanNote = this.core.note(this.cdf);
  }

  /** A new record (opened, emptied, recovered): no history, output 1 shown, not compiled. */
  replace(cdf: Uint8Array, name: string | null, changed: boolean, handle?: FileSystemFileHandle | null): void {
    this.cdf = cdf;
    ++this.revision;
    if (name !== null) {
      this.fileName = name;
      this.handle = handle ?? null;
    }
    this.fromFile = name !== null;
    this.changed = changed;
    this.resetHistory();
    this.restart();
  }

  restart(): void {
    this.compiled = false;
    this.output = 0;
    this.emit('restart');
  }

  markSaved(name: string, handle: FileSystemFileHandle | null): void {
    this.fileName = name;
    this.handle = handle;
    this.known = this.cdf;
    this.fromFile = true;
    this.changed = false;
    this.cleanIndex = this.index;
    this.cleanNote = this.core.note(this.cdf);
    this.cleanFlag = false;
    this.emit('status');
  }

  /** The note changed (the notes window); `changed` is the flag as that window leaves it. */
  noteEdited(cdf: Uint8Array, changed: boolean): void {
    this.cdf = cdf;
    ++this.revision;
    this.changed = changed;
    this.compiled = false;
    this.emit('status');
  }

  setCompiled(): void {
    this.compiled = true;
    this.emit('status');
  }

  showOutput(output: number): void {
    this.output = Math.max(0, Math.min(7, output));
    this.emit('record');
  }
}
