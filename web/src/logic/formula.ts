// Tools ▸ Draw From Formula...: the shown output's diagram replaced by the core's drawing of a
// formula, previewed as it is typed. A formula the core cannot read says why, with a mark under
// the column where reading stopped; OK is on only while the formula draws.
import type { ZezUdiModule } from '../../../wasm/zezudi';
import type { Doc } from '../doc';
import { fill, kCancel, kOk } from '../texts';
import { diagramSvg } from '../print/diagram';
import * as L from './texts';
import { PageWindow, ShowHelp } from './window';

export class FormulaDialog {
  readonly window: PageWindow;
  readonly field: HTMLInputElement;
  readonly said: HTMLElement;
  private readonly mark: HTMLElement;
  private readonly preview: HTMLElement;
  readonly ok: HTMLButtonElement;
  private drawn: Uint8Array | null = null;
  private output = 0;

  constructor(private core: ZezUdiModule, private doc: Doc, private put: (output: number, what: string, cdf: Uint8Array) => void,
              showHelp: ShowHelp) {
    this.window = new PageWindow({ title: '', help: 'drawing.md#Drawing from a formula', width: 520, height: 430,
                                   modal: true, className: 'formula-window' }, showHelp);
    const label = document.createElement('label');
    label.textContent = L.kFormulaHelp;
    this.field = document.createElement('input');
    this.field.type = 'text';
    this.field.className = 'formula-field';
    this.field.spellcheck = false;
    this.field.setAttribute('aria-describedby', 'formula-said');
    label.append(this.field);
    this.mark = document.createElement('div');
    this.mark.className = 'formula-mark';
    this.mark.setAttribute('aria-hidden', 'true');
    this.said = document.createElement('div');
    this.said.id = 'formula-said';
    this.said.className = 'formula-said';
    this.said.setAttribute('role', 'status');
    this.preview = document.createElement('div');
    this.preview.className = 'formula-preview';
    const row = document.createElement('div');
    row.className = 'box-buttons';
    this.ok = document.createElement('button');
    this.ok.type = 'button';
    this.ok.textContent = kOk;
    const cancel = document.createElement('button');
    cancel.type = 'button';
    cancel.textContent = kCancel;
    row.append(this.ok, cancel);
    this.window.body.append(label, this.mark, this.said, this.preview, row);
    this.field.addEventListener('input', () => this.redraw());
    this.field.addEventListener('keydown', (e) => {
      if (e.key === 'Enter') this.accept();
    });
    this.ok.addEventListener('click', () => this.accept());
    cancel.addEventListener('click', () => this.window.close());
  }

  open(): void {
    this.output = this.doc.output;
    this.window.title = fill(L.kDrawTitle, this.output + 1);
    this.field.value = this.core.expression(this.doc.cdf, this.output);
    this.window.open((window.innerWidth - 520) / 2, 60);
    this.redraw();
    // What is typed replaces the output's own formula; End keeps it.
    this.field.focus();
    this.field.select();
  }

  private redraw(): void {
    const formula = this.field.value;
    this.mark.textContent = '';
    this.field.removeAttribute('aria-invalid');
    try {
      this.drawn = this.core.drawFormula(this.doc.cdf, this.output, formula);
      this.said.textContent = L.kDrawnAsShown;
      this.preview.innerHTML = diagramSvg(this.core, this.drawn, this.output, fill(L.kOutputName, this.output + 1));
    } catch (e) {
      if (!(e instanceof this.core.ZezError)) throw e;
      this.drawn = null;
      this.said.textContent = e.message;
      this.preview.replaceChildren();
      this.field.setAttribute('aria-invalid', 'true');
      // A formula that does not read is placed by the column the core names.
      const at = e.kind === 'usage' ? /^column (\d+):/.exec(e.message) : null;
      if (at) this.mark.textContent = `${' '.repeat(Math.max(0, Number(at[1]) - 1))}^`;
    }
    this.ok.disabled = this.drawn === null;
  }

  private accept(): void {
    if (!this.drawn) return;
    const drawn = this.drawn;
    this.window.close();
    this.put(this.output, L.kDrawStep, drawn);
  }
}
