// File ▸ Print... and Print Preview...: the browser prints pages made for paper only (hidden on
// the screen): one per output with a diagram, titled "LC Input N", with the diagram and what the
// output computes; then the note on a page of its own when there is one; each with a footer of
// the file's name, its page number and the date. The browser's print dialog is the preview.
import type { ZezUdiModule } from '../../../wasm/zezudi';
import type { Doc } from '../doc';
import { escapeHtml } from '../dialogs';
import { fill } from '../texts';
import * as L from '../logic/texts';
import { diagramSvg } from './diagram';

export class Printing {
  private pages: HTMLElement | null = null;

  constructor(private core: ZezUdiModule, private doc: Doc) {
    window.addEventListener('afterprint', () => this.clear());
  }

  /** Puts the record's pages into the document for printing; returns how many there are. */
  prepare(date = new Date().toLocaleDateString(undefined, { dateStyle: 'short' })): number {
    this.clear();
    const { core, doc } = this;
    const bodies: Array<{ title: string; html: string }> = [];
    for (let o = 0; o < 8; ++o) {
      if (!core.hasDiagram(doc.cdf, o)) continue;
      const title = fill(L.kOutputName, o + 1);
      bodies.push({ title, html: diagramSvg(core, doc.cdf, o, title) +
        `<p class="print-expression">${escapeHtml(L.kPageOutput + core.expression(doc.cdf, o))}</p>` });
    }
    const note = core.note(doc.cdf);
    if (note !== '') bodies.push({ title: L.kPageNote, html: `<div class="print-note">${escapeHtml(note)}</div>` });
    if (bodies.length === 0) bodies.push({ title: L.kPageNothing, html: '' });
    const pages = (this.pages = document.createElement('div'));
    pages.className = 'print-pages';
    pages.setAttribute('aria-hidden', 'true');
    pages.innerHTML = bodies.map((b, n) =>
      `<section class="print-page"><h1>${escapeHtml(b.title)}</h1>${b.html}<footer>` +
      `<span>${escapeHtml(doc.hasFile ? doc.fileName : '')}</span><span>${escapeHtml(fill(L.kPageNumber, n + 1, bodies.length))}</span>` +
      `<span>${escapeHtml(date)}</span></footer></section>`).join('');
    document.body.append(pages);
    return bodies.length;
  }

  clear(): void {
    this.pages?.remove();
    this.pages = null;
  }

  /** Prints through the browser's print dialog. */
  print(): void {
    this.prepare();
    window.print();
  }
}
