// The client area at the desktop's positions (881 x 689 CSS pixels; the page zoom scales it as a
// whole): palette, grid between the rails with the contact labels, output list, Test frame,
// compile progress and the transfer caption. Where F1 leads is kept on each part (data-help).
import { Lit, kUnlit, pictureElement } from './picture';
import { escapeHtml } from './dialogs';
import { fill, kBlank, kDiagramName, kElementKeys, kElementNames, kLinkWords, kInputBox, kInputItem, kOutputItem, kPilotBox,
         kPaletteTip, kPilotItem, kTestButton, kTestFrame, kWith, kCellPlace, kRowName } from './texts';

export const kClientWidth = 881;
export const kClientHeight = 689;

/** The links' words for a tip ("up link", "down link", "up and down links"). */
function linkWords(code: number): string {
  const up = code & 1, down = code & 2;
  return up && down ? kLinkWords[2] : up ? kLinkWords[0] : down ? kLinkWords[1] : '';
}

/** What a segment of `code` holds, as the palette's tips name it; a code outside 0..15 acts as blank. */
export function elementName(code: number): string {
  if (!(code >= 0 && code <= 15)) return kBlank;
  const element = code >> 2;
  const links = linkWords(code);
  if (element === 0) return links ? links.charAt(0).toUpperCase() + links.slice(1) : kBlank;
  return kElementNames[element] + (links ? kWith + links : '');
}

/** What palette picture `code` places and the keys that make it on the grid. */
export function paletteTip(code: number): string {
  const element = code >> 2;
  const keys: string[] = [];
  if (element > 0) keys.push(kElementKeys[element]);
  if (code & 1) keys.push('U');
  if (code & 2) keys.push('D');
  if (code === 0) keys.push('Del');
  return fill(kPaletteTip, elementName(code), keys.join(', '));
}

/** A grid cell's name for a screen reader: what it holds, a contact's input, its place. */
export function cellName(s: number, code: number, input: number): string {
  // As the contact's label: a code above 15 shows its selection too.
  const contact = code >= 8 && input >= 0 && input <= 15;
  const signal = !contact ? '' : input < 8 ? fill(kInputItem, input + 1) : fill(kPilotItem, input - 7);
  return [elementName(code), signal, fill(kCellPlace, Math.floor(s / 16) + 1, (s % 16) + 1)].filter((t) => t).join(', ');
}

function place(el: HTMLElement, x: number, y: number, w: number, h: number): HTMLElement {
  el.style.left = `${x}px`;
  el.style.top = `${y}px`;
  el.style.width = `${w}px`;
  el.style.height = `${h}px`;
  return el;
}

function make<K extends keyof HTMLElementTagNameMap>(tag: K, cls: string, parent: HTMLElement): HTMLElementTagNameMap[K] {
  const el = document.createElement(tag);
  el.className = cls;
  parent.append(el);
  return el;
}

export interface Marks { selected: boolean; cursor: boolean; focused: boolean }

export class ClientArea {
  readonly element: HTMLElement;
  readonly imgSelect: HTMLElement[] = [];
  readonly grid: HTMLElement;
  readonly imgSegment: HTMLElement[] = [];
  readonly lblSeg: HTMLElement[] = [];
  readonly cboOutput: HTMLSelectElement;
  readonly cboSelect: HTMLSelectElement;
  readonly frame: HTMLElement;
  readonly chkIn: HTMLInputElement[] = [];
  readonly cmdTest: HTMLButtonElement;
  readonly linIO: HTMLElement[] = [];
  readonly prgCompile: HTMLProgressElement;
  readonly lblComPrg: HTMLElement;
  private shown: string[] = [];
  private names: string[] = [];

  constructor() {
    const c = (this.element = document.createElement('div'));
    c.className = 'client';
    c.style.width = `${kClientWidth}px`;
    c.style.height = `${kClientHeight}px`;
    c.dataset.help = 'drawing.md#Editing on the grid';
    const palette = make('div', 'palette', c);
    palette.setAttribute('role', 'toolbar');
    palette.setAttribute('aria-label', 'Palette');
    for (let k = 0; k < 16; ++k) {
      const p = place(make('div', 'pal', palette), 16 + 48 * (k % 2), 8 + 48 * Math.floor(k / 2), 40, 40);
      p.innerHTML = pictureElement(k);
      p.title = paletteTip(k);
      p.setAttribute('role', 'button');
      p.setAttribute('aria-label', paletteTip(k));
      p.setAttribute('aria-pressed', 'false');
      p.tabIndex = 0;
      p.dataset.code = String(k);
      p.dataset.help = 'drawing.md#The palette';
      this.imgSelect.push(p);
    }
    this.grid = place(make('div', 'grid', c), 120, 8, 640, 640);
    this.grid.tabIndex = 0;
    this.grid.setAttribute('role', 'grid');
    this.grid.setAttribute('aria-label', kDiagramName);
    this.grid.setAttribute('aria-multiselectable', 'true');
    // A row of cells, then its contact labels over them: a label's input is in its cell's name.
    for (let r = 0; r < 16; ++r) {
      const row = place(make('div', 'grid-row', this.grid), 0, 40 * r, 640, 40);
      row.setAttribute('role', 'row');
      row.setAttribute('aria-label', kRowName.replace('%1', String(r + 1)));
      for (let s = 16 * r; s < 16 * r + 16; ++s) {
        const seg = place(make('div', 'seg', row), 40 * (s % 16), 0, 40, 40);
        seg.dataset.seg = String(s);
        seg.id = `zez-seg-${s}`;
        seg.setAttribute('role', 'gridcell');
        this.imgSegment.push(seg);
        this.shown.push('');
        this.names.push('');
      }
      for (let s = 16 * r; s < 16 * r + 16; ++s) {
        const l = place(make('div', 'lbl', row), 7 + 40 * (s % 16), 4, 24, 15);
        l.dataset.seg = String(s);
        l.dataset.help = 'drawing.md#Choosing a contact\'s input';
        l.setAttribute('aria-hidden', 'true');
        l.hidden = true;
        this.lblSeg.push(l);
      }
    }
    this.cboOutput = place(make('select', 'cbo-output', c), 788, 374, 81, 21) as HTMLSelectElement;
    this.cboOutput.setAttribute('aria-label', 'Output');
    this.cboOutput.dataset.help = 'drawing.md#Choosing the output';
    for (let n = 1; n <= 8; ++n) this.cboOutput.add(new Option(fill(kOutputItem, n), String(n - 1)));
    this.cboSelect = place(make('select', 'cbo-select', c), 0, 0, 65, 21) as HTMLSelectElement;
    this.cboSelect.setAttribute('aria-label', 'Input');
    this.cboSelect.dataset.help = 'drawing.md#Choosing a contact\'s input';
    for (let n = 1; n <= 8; ++n) this.cboSelect.add(new Option(fill(kInputItem, n), String(n - 1)));
    for (let n = 1; n <= 8; ++n) this.cboSelect.add(new Option(fill(kPilotItem, n), String(n + 7)));
    this.cboSelect.size = 1;
    this.cboSelect.hidden = true;

    this.frame = place(make('div', 'test-frame', c), 8, 416, 105, 233);
    this.frame.setAttribute('role', 'group');
    this.frame.setAttribute('aria-label', kTestFrame);
    this.frame.dataset.help = 'testing.md#The Test frame';
    make('span', 'frame-title', this.frame).textContent = kTestFrame;
    for (let k = 0; k < 16; ++k) {
      const pilot = k >= 8;
      const name = pilot ? fill(kPilotBox, k - 7) : fill(kInputBox, k + 1);
      const label = place(make('label', 'chk', this.frame), pilot ? 64 : 16, 16 + 24 * (k % 8), 33, 17);
      const box = document.createElement('input');
      box.type = 'checkbox';
      label.append(box, document.createTextNode(name));
      this.chkIn.push(box);
    }
    this.cmdTest = place(make('button', 'cmd-test', this.frame), 16, 208, 73, 17) as HTMLButtonElement;
    this.cmdTest.type = 'button';
    this.cmdTest.innerHTML = kTestButton.replace(/&(.)/, '<u>$1</u>');

    this.linIO.push(place(make('div', 'rail', c), 121, 8, 1, 641));
    this.linIO.push(place(make('div', 'rail', c), 759, 8, 1, 641));
    this.linIO.push(place(make('div', 'rail', c), 760, 384, 29, 1));

    this.prgCompile = place(make('progress', 'prg-compile', c), 8, 664, 865, 17) as HTMLProgressElement;
    this.prgCompile.max = 100;
    this.prgCompile.hidden = true;
    this.prgCompile.setAttribute('aria-label', 'Compile');
    this.lblComPrg = place(make('div', 'lbl-comprg', c), 768, 8, 105, 17);
    this.lblComPrg.setAttribute('role', 'status');
    this.lblComPrg.hidden = true;
  }

  /** Segment `s` drawn as `code` with the lit parts red and the editing marks over it. */
  drawSegment(s: number, code: number, lit: Lit, marks: Marks, openUp: boolean, openDown: boolean): void {
    const key = `${code}|${lit.element}${lit.junction}${lit.up}${lit.down}|${openUp}${openDown}`;
    const el = this.imgSegment[s];
    if (this.shown[s] !== key) {
      this.shown[s] = key;
      const ends = (openUp ? '<i class="open-up"></i>' : '') + (openDown ? '<i class="open-down"></i>' : '');
      el.innerHTML = pictureElement(code, lit) + ends;
    }
    el.classList.toggle('selected', marks.selected);
    el.classList.toggle('cursor', marks.cursor);
    el.classList.toggle('focused', marks.focused);
    el.setAttribute('aria-selected', String(marks.selected));
  }

  /** The cell's name (cellName). */
  name(s: number, name: string): void {
    if (this.names[s] !== name) this.imgSegment[s].setAttribute('aria-label', (this.names[s] = name));
  }

  /** The grid's active cell (the cursor's), or none while no cursor is shown. */
  activeCell(s: number | null): void {
    if (s === null) this.grid.removeAttribute('aria-activedescendant');
    else this.grid.setAttribute('aria-activedescendant', this.imgSegment[s].id);
  }

  /** The contact's label ("I 3"), or none. */
  label(s: number, text: string | null): void {
    const l = this.lblSeg[s];
    l.hidden = text === null;
    if (text !== null && l.textContent !== text) l.innerHTML = escapeHtml(text);
  }

  rails(lit: [boolean, boolean, boolean]): void {
    this.linIO.forEach((r, n) => r.classList.toggle('lit', lit[n]));
  }

  /** The transfer caption; empty hides it. */
  showCaption(text: string): void {
    this.lblComPrg.textContent = text;
    this.lblComPrg.hidden = text === '';
  }

  /** The bits of the ticked inputs: I1..I8, then P1..P8. */
  tickedInputs(): number {
    return this.chkIn.reduce((bits, box, i) => (box.checked ? bits | (1 << i) : bits), 0);
  }

  unlit(): Lit {
    return kUnlit;
  }
}
