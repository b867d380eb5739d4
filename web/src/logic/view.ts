// The Logic window (Tools ▸ Logic, F6): what the shown output computes, its truth table over the
// signals it depends on, the wiring checks' findings, every output's state for the ticked inputs
// and the signals each output reads; "Redraw minimal" when a smaller drawing computes the same.
// The report is worked out by the core after the edit that asked for it, the newest request
// winning; each report keeps the revision of the record it came from, and what came from an
// older diagram is never applied to a newer one.
import type { LogicReport, ZezUdiModule } from '../../../wasm/zezudi';
import type { Doc } from '../doc';
import { escapeHtml } from '../dialogs';
import { fill } from '../texts';
import * as L from './texts';
import { PageWindow, ShowHelp } from './window';

export interface LogicHost {
  /** The inputs ticked in the Test frame, bit n for I(n+1), then the pilots. */
  inputs(): number;
  /** Puts the record with `output` redrawn into the diagram as one edit named `what`. */
  put(output: number, what: string, cdf: Uint8Array): void;
  /** The segments to frame on the grid with their reasons (none when the window has none). */
  frames(reasons: Map<number, string>): void;
  /** Where the output selector is: the window is never placed over it where that can be helped. */
  selector(): DOMRect;
}

interface Shown {
  report: LogicReport;
  output: number;
  revision: number;
}

/** A truth table row as the core prints it: the signals' bits and whether the output is on. */
function tableRows(text: string): { note: string; rows: Array<{ bits: string[]; on: boolean }> } {
  const lines = text.split('\n').filter((l) => l !== '');
  const bar = lines.findIndex((l) => l.includes('|'));
  const note = lines.slice(1, bar < 0 ? lines.length : bar).join(' ');
  const rows = bar < 0 ? [] : lines.slice(bar + 1).map((l) => {
    const [bits, result] = l.split('|');
    return { bits: bits.trim().split(/\s+/), on: result.trim() === L.kOn };
  });
  return { note, rows };
}

export class LogicView {
  readonly window: PageWindow;
  private title = this.part('div', 'logic-title');
  readonly expression = this.part('div', 'logic-expression');
  private method = this.part('div', 'logic-method');
  readonly table: HTMLTableElement;
  private tableNote = this.part('div', 'logic-table-note');
  readonly findings: HTMLUListElement;
  readonly states = this.part('div', 'logic-states');
  private signalUse = this.part('div', 'logic-signals');
  readonly redraw: HTMLButtonElement;
  private requests = 0;
  private timer = 0;
  shown: Shown | null = null;

  constructor(private core: ZezUdiModule, private doc: Doc, private host: LogicHost, showHelp: ShowHelp) {
    this.window = new PageWindow({ title: L.kLogicTitle, help: 'testing.md#The Logic window', width: 460,
                                   height: 560, modal: false, className: 'logic-window' }, showHelp);
    const b = this.window.body;
    this.expression.tabIndex = 0;
    this.expression.setAttribute('aria-label', 'Expression');
    const tableLabel = this.part('div', 'logic-caption');
    tableLabel.textContent = L.kTruthTable;
    const scroll = this.part('div', 'logic-table');
    this.table = document.createElement('table');
    this.table.setAttribute('aria-label', L.kTruthTable);
    scroll.append(this.table);
    scroll.tabIndex = 0;
    const checksLabel = this.part('div', 'logic-caption');
    checksLabel.textContent = L.kWiringChecks;
    this.findings = document.createElement('ul');
    this.findings.className = 'logic-findings';
    this.findings.setAttribute('aria-label', L.kWiringChecks);
    this.signalUse.title = L.kSignalUseTip;
    this.redraw = document.createElement('button');
    this.redraw.type = 'button';
    this.redraw.className = 'logic-redraw';
    this.redraw.textContent = L.kRedraw;
    this.redraw.disabled = true;
    this.redraw.addEventListener('click', () => this.redrawMinimal());
    b.append(this.title, this.expression, this.method, tableLabel, scroll, this.tableNote, checksLabel,
             this.findings, this.states, this.signalUse, this.redraw);
    this.window.onClose = () => this.host.frames(new Map());
  }

  private part(tag: 'div', cls: string): HTMLDivElement {
    const el = document.createElement(tag);
    el.className = cls;
    return el;
  }

  get isOpen(): boolean {
    return this.window.isOpen;
  }

  /** Opens the window beside the editor (or brings it forward) and asks for a report. */
  open(): void {
    const beside = document.querySelector('.window')?.getBoundingClientRect().right ?? 0;
    const room = window.innerWidth - beside - 8 >= 460;
    this.window.open(room ? beside + 8 : this.host.selector().left - 460 - 8, 30);
    this.expression.focus();
    this.request();
  }

  /** Asks for a report of the record as it is now; the window shows it once it is worked out. */
  request(): void {
    if (!this.isOpen) return;
    const number = ++this.requests;
    const job = { cdf: this.doc.cdf, output: this.doc.output, inputs: this.host.inputs(), revision: this.doc.revision };
    // The shown drawing belongs to another diagram now: not offered until its own report.
    if (this.shown?.revision !== job.revision) this.redraw.disabled = true;
    this.refreshFrames();
    clearTimeout(this.timer);
    this.timer = window.setTimeout(() => {
      if (number !== this.requests) return; // a newer request follows
      const report = this.core.logic(job.cdf, job.output);
      const table = this.core.truthTable(job.cdf, job.output);
      const states = [...Array(8).keys()].map((o) => this.core.evaluate(job.cdf, o, job.inputs).on);
      if (number !== this.requests) return;
      this.show({ report, output: job.output, revision: job.revision }, table, states);
    }, 0);
  }

  /** Whether the shown report was worked out from the record as it is now. */
  get current(): boolean {
    return this.shown !== null && this.shown.revision === this.doc.revision && this.shown.output === this.doc.output;
  }

  private show(shown: Shown, table: string, states: boolean[]): void {
    const r = shown.report;
    this.shown = shown;
    this.title.textContent = fill(L.kOutputName, shown.output + 1);
    this.expression.textContent = r.expression;
    this.method.textContent = (r.exact ? L.kExact : L.kHeuristic) +
      (r.dependsOn.length === 0 ? L.kDependsOnNone : L.kDependsOn + r.dependsOn.join(' '));
    const { note, rows } = tableRows(table);
    // An output that depends on no signal: its one row, the constant it is.
    if (rows.length === 0) rows.push({ bits: [], on: states[shown.output] });
    this.tableNote.textContent = note;
    const head = r.dependsOn.map((s) => `<th scope="col">${s}</th>`).join('') +
      `<th scope="col">${escapeHtml(fill(L.kOutputName, shown.output + 1))}</th>`;
    this.table.innerHTML = `<thead><tr><th></th>${head}</tr></thead><tbody>` + rows.map((row, n) =>
      `<tr${row.on ? ' class="on"' : ''}><th scope="row">${n}</th>${row.bits.map((b) => `<td>${b}</td>`).join('')}` +
      `<td class="result">${row.on ? L.kOn : L.kOff}</td></tr>`).join('') + '</tbody>';
    this.findings.replaceChildren(...(r.findings.length === 0 ? [L.kNoFindings] : r.findings.map((f) => {
      const at = f.segment < 0 ? '' : fill(L.kFindingPlace, Math.floor(f.segment / 16) + 1, (f.segment % 16) + 1, f.segment);
      return fill(L.kFindingLine, f.output + 1, at, f.reason);
    })).map((text) => {
      const li = document.createElement('li');
      li.textContent = text;
      return li;
    }));
    this.states.textContent = L.kStates + states.map((on, o) =>
      fill(L.kStateItem, o + 1, on ? L.kOn : L.kOff, o + 1 < 8 ? ', ' : '')).join('');
    this.signalUse.textContent = L.kSignalUse + r.signalUse;
    this.redraw.disabled = r.minimal === null || shown.revision !== this.doc.revision;
    this.redraw.title = r.minimal ? fill(L.kRedrawTip, r.segments, r.minimalSegments) : L.kRedrawNoneTip;
    this.window.element.dataset.revision = String(shown.revision);
    this.refreshFrames();
  }

  private redrawMinimal(): void {
    const s = this.shown;
    // Worked out from the diagram as it was: never over a later edit.
    if (!s || !s.report.minimal || s.revision !== this.doc.revision) return;
    this.host.put(s.output, L.kRedrawStep, s.report.minimal);
  }

  /** The findings framed on the grid while they belong to the diagram shown there. */
  refreshFrames(): void {
    const reasons = new Map<number, string>();
    if (this.isOpen && this.current)
      for (const f of this.shown!.report.findings) if (f.segment >= 0) reasons.set(f.segment, f.reason);
    this.host.frames(reasons);
  }
}
