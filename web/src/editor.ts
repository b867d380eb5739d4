// Editing the shown diagram: the palette's drag and click-to-stamp, the grid's keys, selection,
// copy/cut/paste, rows, the contact's input list and the Test run's red path. The record is
// changed by the core only; this keeps the cursor, the selection and the armed picture.
import type { ZezUdiModule } from '../../wasm/zezudi';
import { type ClientArea, cellName } from './client';
import type { Doc } from './doc';
import { Lit, kUnlit } from './picture';
import * as dialogs from './dialogs';
import { wirePalette } from './palette';
import { fill, kClipboardUnreadable, kPastedInvalid, kTitleInsertRow, kTitlePaste } from './texts';

const kClipKey = 'zezudi.clip';
/** The input list closes when nothing is chosen within this time. */
const kInputListMs = 5000;

const isContact = (code: number) => code >= 8 && code <= 15;
const row = (s: number) => Math.floor(s / 16);
const col = (s: number) => s % 16;

/** "I 3", "P 1", "?" as the contact's label shows its selection. */
export function inputLabel(sel: number): string {
  if (!(sel >= 0 && sel <= 15)) return '?';
  return sel < 8 ? `I ${sel + 1}` : `P ${sel - 7}`;
}

export class GridEditor {
  cursor = 0;
  anchor = 0;
  cursorShown = false;
  hasSelection = false;
  /** The selection as corner segments. */
  selA = 0;
  selB = 0;
  armed = -1;
  private pendingSignal: 'I' | 'P' | null = null;
  private lit: Lit[] | null = null;
  private railsLit: [boolean, boolean, boolean] = [false, false, false];
  private listFor = -1;
  private listTimer = 0;
  private selecting = false;
  /** Called after the marks or the record's picture changed (menus' enabling). */
  onMarks: () => void = () => {};
  /** The status bar's message. */
  say: (text: string) => void = () => {};

  constructor(private core: ZezUdiModule, private doc: Doc, private client: ClientArea) {
    wirePalette(this, client);
    this.wireGrid();
    this.wireInputList();
  }

  // --- showing ---

  /** The shown output as the record has it, the test's lit parts kept until the next change. */
  show(): void {
    const { core, doc, client } = this;
    const focused = document.activeElement === client.grid;
    const { codes, inputs } = core.segments(doc.cdf, doc.output);
    const up = (c: number) => c >= 0 && c <= 15 && (c & 1) !== 0;
    const down = (c: number) => c >= 0 && c <= 15 && (c & 2) !== 0;
    const [lo, hi] = this.rect();
    for (let s = 0; s < 256; ++s) {
      const t = codes[s];
      const selected = this.hasSelection && row(s) >= row(lo) && row(s) <= row(hi) && col(s) >= col(lo) && col(s) <= col(hi);
      client.drawSegment(s, t, this.lit ? this.lit[s] : kUnlit,
        { selected, cursor: this.cursorShown && s === this.cursor, focused },
        up(t) && (s < 16 || !down(codes[s - 16])), down(t) && (s >= 240 || !up(codes[s + 16])));
      client.label(s, t >= 8 ? inputLabel(inputs[s]) : null);
      client.name(s, cellName(s, t, inputs[s]));
    }
    client.activeCell(this.cursorShown ? this.cursor : null); // none before the first click or key
    client.rails(this.railsLit);
    client.imgSelect.forEach((p, k) => {
      p.classList.toggle('armed', k === this.armed);
      p.setAttribute('aria-pressed', String(k === this.armed));
    });
    this.onMarks();
  }

  /** The selection's top-left and bottom-right segments. */
  private rect(): [number, number] {
    const r0 = Math.min(row(this.selA), row(this.selB)), r1 = Math.max(row(this.selA), row(this.selB));
    const c0 = Math.min(col(this.selA), col(this.selB)), c1 = Math.max(col(this.selA), col(this.selB));
    return [16 * r0 + c0, 16 * r1 + c1];
  }

  private target(): [number, number] {
    return this.hasSelection ? this.rect() : [this.cursor, this.cursor];
  }

  /** Forgets the test's red path (the record or the output changed). */
  clearLit(): void {
    this.lit = null;
    this.railsLit = [false, false, false];
  }

  /** The Test run: the energised parts drawn red; whether the output is on. */
  test(): boolean {
    const { doc } = this;
    const inputs = this.client.tickedInputs();
    const t = this.core.testSegments(doc.cdf, doc.output, inputs);
    this.lit = Array.from(t.segments, (b) => ({ element: !!(b & 1), junction: !!(b & 2), up: !!(b & 4), down: !!(b & 8) }));
    const on = t.on;
    this.railsLit = [true, on, on];
    this.show();
    return on;
  }

  // --- edits ---

  private edit(what: string, edited: Uint8Array): void {
    this.doc.edit(this.doc.output, what, edited);
  }

  drop(index: number, code: number): void {
    this.edit('Drop', this.core.drop(this.doc.cdf, this.doc.output, index, code));
  }

  chooseInput(index: number, sel: number): void {
    this.edit('Choose Input', this.core.setInput(this.doc.cdf, this.doc.output, index, sel));
  }

  /** The target rectangle edited by one call of the core. */
  private editRegion(what: string, f: (cdf: Uint8Array, lo: number, hi: number) => Uint8Array): void {
    const [lo, hi] = this.target();
    this.edit(what, f(this.doc.cdf, lo, hi));
  }

  labelClicked(index: number): void {
    if (this.armed >= 0) return this.drop(index, this.armed);
    this.openInputList(index);
  }

  press(index: number, extend: boolean): void {
    if (this.armed >= 0) return this.drop(index, this.armed);
    this.select(index, extend);
  }

  select(index: number, extend: boolean): void {
    if (extend && this.cursorShown) {
      this.selA = this.anchor;
      this.selB = index;
    } else {
      this.cursor = this.anchor = this.selA = this.selB = index;
    }
    this.cursorShown = this.hasSelection = true;
    this.show();
  }

  selectTo(index: number): void {
    if (this.armed >= 0 || !this.cursorShown) return;
    this.selA = this.anchor;
    this.selB = index;
    this.hasSelection = true;
    this.show();
  }

  selectAll(): void {
    this.cursorShown = this.hasSelection = true;
    this.selA = 0;
    this.selB = 255;
    this.show();
  }

  clearSelection(): void {
    this.hasSelection = false;
    this.armed = -1;
    this.pendingSignal = null;
    this.show();
  }

  reset(): void {
    this.cursor = this.anchor = 0;
    this.cursorShown = this.hasSelection = false;
    this.pendingSignal = null;
    this.closeInputList();
    this.clearLit();
  }

  arm(code: number): void {
    this.armed = this.armed === code ? -1 : code;
    this.show();
  }

  get canPaste(): boolean {
    return this.cursorShown && localStorage.getItem(kClipKey) !== null;
  }

  copy(): void {
    if (!this.hasSelection) return;
    const [lo, hi] = this.rect();
    const clip = this.core.copyRegion(this.doc.cdf, this.doc.output, lo, hi);
    localStorage.setItem(kClipKey, clip);
    // Other programs get the diagram as a person reads it.
    const readable = this.core.readableRegion(this.doc.cdf, this.doc.output, lo, hi);
    navigator.clipboard?.writeText(readable).catch(() => {});
    this.show();
  }

  cut(): void {
    if (!this.hasSelection) return;
    this.copy();
    const [lo, hi] = this.rect();
    this.edit('Cut', this.core.blankRegion(this.doc.cdf, this.doc.output, lo, hi));
  }

  delete(): void {
    if (!this.hasSelection) return;
    const [lo, hi] = this.rect();
    this.edit('Delete', this.core.blankRegion(this.doc.cdf, this.doc.output, lo, hi));
  }

  async paste(): Promise<void> {
    const clip = localStorage.getItem(kClipKey);
    if (clip === null) return;
    let pasted: ReturnType<ZezUdiModule['paste']>;
    try {
      pasted = this.core.paste(this.doc.cdf, this.doc.output, this.cursor, clip);
    } catch {
      await dialogs.message(kClipboardUnreadable, kTitlePaste, 'warning');
      return;
    }
    this.edit('Paste', pasted.cdf);
    // The pasted segments become the selection, clipped at the grid's edge.
    this.selA = pasted.first;
    this.selB = pasted.last;
    this.hasSelection = true;
    this.show();
    if (pasted.invalid > 0) await dialogs.message(fill(kPastedInvalid, pasted.invalid), kTitlePaste, 'warning');
  }

  async insertRow(): Promise<void> {
    try {
      this.edit('Insert Row', this.core.insertRow(this.doc.cdf, this.doc.output, row(this.cursor)));
    } catch (e) {
      await dialogs.message(e instanceof Error ? e.message : String(e), kTitleInsertRow, 'warning');
    }
  }

  deleteRow(): void {
    this.edit('Delete Row', this.core.deleteRow(this.doc.cdf, this.doc.output, row(this.cursor)));
  }

  private moveCursor(dRow: number, dCol: number, extend: boolean): void {
    const r = Math.max(0, Math.min(15, row(this.cursor) + dRow));
    const c = Math.max(0, Math.min(15, col(this.cursor) + dCol));
    if (!this.cursorShown) this.cursorShown = true; // the first key shows the cursor where it is
    else this.cursor = 16 * r + c;
    if (!extend) this.anchor = this.cursor;
    this.selA = this.anchor;
    this.selB = this.cursor;
    this.hasSelection = true;
    this.show();
  }

  /** A key pressed on the grid (no modifier but Shift); whether it was used. */
  key(key: string, shift: boolean): boolean {
    const k = key.length === 1 ? key.toUpperCase() : key;
    if (this.pendingSignal) {
      const which = this.pendingSignal;
      this.pendingSignal = null;
      if (k >= '1' && k <= '8') {
        const sel = Number(k) - 1 + (which === 'P' ? 8 : 0);
        this.editRegion('Choose Input', (cdf, lo, hi) => this.core.chooseInput(cdf, this.doc.output, lo, hi, sel));
        return true;
      }
    }
    const edits = ['W', 'C', 'N', 'U', 'D', 'I', 'P', 'Enter'].includes(k);
    if (edits && !this.cursorShown) {
      this.cursorShown = true;
      this.show();
      return true;
    }
    const output = this.doc.output;
    const element = (e: number, what: string) =>
      this.editRegion(what, (cdf, lo, hi) => this.core.placeElement(cdf, output, lo, hi, e));
    const link = (l: number, what: string) =>
      this.editRegion(what, (cdf, lo, hi) => this.core.toggleLink(cdf, output, lo, hi, l));
    switch (k) {
      case 'ArrowLeft': this.moveCursor(0, -1, shift); return true;
      case 'ArrowRight': this.moveCursor(0, 1, shift); return true;
      case 'ArrowUp': this.moveCursor(-1, 0, shift); return true;
      case 'ArrowDown': this.moveCursor(1, 0, shift); return true;
      case 'Escape': this.clearSelection(); return true;
      case 'W': element(1, 'Wire'); return true;
      case 'C': element(2, 'Normally Open Contact'); return true;
      case 'N': element(3, 'Normally Closed Contact'); return true;
      case 'U': link(1, 'Up Link'); return true;
      case 'D': link(2, 'Down Link'); return true;
      case 'I':
      case 'P':
        this.pendingSignal = k;
        return true;
      case 'Enter':
        if (isContact(this.core.segment(this.doc.cdf, this.doc.output, this.cursor).code)) this.labelClicked(this.cursor);
        return true;
      default:
        return false;
    }
  }

  focus(): void {
    this.client.grid.focus();
  }

  // --- the input list (cboSelect) ---

  openInputList(index: number): void {
    const { client } = this;
    const sel = this.core.segment(this.doc.cdf, this.doc.output, index).input;
    this.listFor = index;
    const box = client.cboSelect;
    box.style.left = `${127 + 40 * col(index)}px`;
    box.style.top = `${12 + 40 * row(index)}px`;
    box.selectedIndex = sel >= 0 && sel <= 15 ? sel : -1;
    box.hidden = false;
    box.focus();
    window.clearTimeout(this.listTimer);
    this.listTimer = window.setTimeout(() => this.closeInputList(), kInputListMs);
  }

  closeInputList(): void {
    this.client.cboSelect.hidden = true;
    window.clearTimeout(this.listTimer);
    this.listFor = -1;
  }

  private wireInputList(): void {
    const box = this.client.cboSelect;
    const choose = () => {
      const index = this.listFor;
      const sel = box.selectedIndex;
      if (index < 0 || sel < 0) return;
      this.closeInputList();
      this.chooseInput(index, sel);
      this.client.grid.focus();
    };
    box.addEventListener('change', choose);
    box.addEventListener('keydown', (e) => {
      if (e.key === 'Enter') {
        e.preventDefault();
        choose();
      } else if (e.key === 'Escape') {
        e.preventDefault();
        this.closeInputList();
        this.client.grid.focus();
      }
    });
  }

  // --- the pointer ---

  private wireGrid(): void {
    const grid = this.client.grid;
    const segAt = (e: PointerEvent) => {
      const r = grid.getBoundingClientRect();
      const x = Math.floor(((e.clientX - r.left) / r.width) * 16), y = Math.floor(((e.clientY - r.top) / r.height) * 16);
      return x >= 0 && x < 16 && y >= 0 && y < 16 ? 16 * y + x : -1;
    };
    grid.addEventListener('pointerdown', (e) => {
      if (e.button !== 0) return;
      const target = e.target as HTMLElement;
      if (target.closest('.lbl')) return; // the label's click
      const s = segAt(e);
      if (s < 0) return;
      e.preventDefault();
      grid.focus();
      this.press(s, e.shiftKey);
      this.selecting = true;
      grid.setPointerCapture(e.pointerId);
    });
    grid.addEventListener('pointermove', (e) => {
      if (!this.selecting) return;
      const s = segAt(e);
      if (s >= 0 && s !== this.selB) this.selectTo(s);
    });
    const end = () => { this.selecting = false; };
    grid.addEventListener('pointerup', end);
    grid.addEventListener('pointercancel', end);
    for (const l of this.client.lblSeg) {
      l.addEventListener('pointerdown', (e) => e.preventDefault());
      l.addEventListener('click', () => this.labelClicked(Number(l.dataset.seg)));
    }
    grid.addEventListener('keydown', (e) => {
      if (e.ctrlKey || e.altKey || e.metaKey) return;
      if (this.key(e.key, e.shiftKey)) {
        e.preventDefault();
        e.stopPropagation();
      }
    });
    grid.addEventListener('focus', () => this.show());
    grid.addEventListener('blur', () => this.show());
  }
}
