// Wires the notes window, the Logic window, Draw From Formula and printing into the editor's
// menus (the desktop's items: Notes; Tools ▸ Logic, F6; Tools ▸ Draw From Formula...;
// File ▸ Print Preview..., Print..., Ctrl+P, and Export PDF...), and keeps the Logic window
// following every edit, output change and tick.
import type { ZezUdiModule } from '../../../wasm/zezudi';
import type { ClientArea } from '../client';
import type { Doc } from '../doc';
import type { GridEditor } from '../editor';
import type { Menu } from '../menus';
import * as T from '../texts';
import * as dialogs from '../dialogs';
import { NotesWindow } from '../notes/notes';
import { Printing } from '../print/print';
import { FormulaDialog } from './formula';
import { LogicView } from './view';
import type { ShowHelp } from './window';

export function wireLogic(core: ZezUdiModule, doc: Doc, editor: GridEditor, client: ClientArea, menus: Menu[],
                          showHelp: ShowHelp) {
  const put = (output: number, what: string, cdf: Uint8Array) => {
    editor.hasSelection = false;
    doc.edit(output, what, cdf);
  };
  const notes = new NotesWindow(core, doc, showHelp);
  const printing = new Printing(core, doc);
  const formula = new FormulaDialog(core, doc, put, showHelp);
  // The file last compared with: the segments that differ from it are framed too, with what it
  // has there.
  let compared: { cdf: Uint8Array; name: string } | null = null;
  const frames = (found: Map<number, string>) => {
    const reasons = new Map(found);
    for (const d of compared ? core.differences(doc.cdf, compared.cdf, doc.output) : []) {
      const said = T.fill(T.kDiffersFrom, compared!.name, d.there);
      reasons.set(d.segment, reasons.has(d.segment) ? `${reasons.get(d.segment)}; ${said}` : said);
    }
    client.imgSegment.forEach((seg, s) => {
      const reason = reasons.get(s);
      seg.classList.toggle('finding', reason !== undefined);
      if (reason !== undefined) seg.title = reason;
      else seg.removeAttribute('title');
    });
  };
  const view = new LogicView(core, doc, {
    inputs: () => client.tickedInputs(),
    put,
    frames,
    selector: () => client.cboOutput.getBoundingClientRect(),
  }, showHelp);

  const menu = (text: string) => menus.find((m) => m.text === text)!;
  const item = (m: string, text: string) => menu(m).items!.find((i) => i.text === text)!;
  menu(T.kMenuNotes).run = () => void notes.open();
  item(T.kMenuFile, T.kMenuPrintPreview).run = () => printing.print();
  item(T.kMenuFile, T.kMenuPrint).run = () => printing.print();
  // The browser's print dialog writes the PDF: the same pages, once the user knows where to look.
  item(T.kMenuFile, T.kMenuExportPdf).run = async () => {
    await dialogs.message(T.kExportPdfHow, T.kTitleExportPdf, 'information');
    printing.print();
  };
  item(T.kMenuTools, T.kMenuLogic).run = () => view.open();
  item(T.kMenuTools, T.kMenuDrawFormula).run = () => formula.open();

  doc.on((what) => {
    if (what === 'restart') compared = null; // a new record: nothing compared with yet
    view.request();
    view.refreshFrames();
  });
  for (const box of client.chkIn) box.addEventListener('change', () => view.request());
  const compareWith = (other: Uint8Array | null, name: string) => {
    compared = other ? { cdf: other, name } : null;
    view.refreshFrames();
  };
  return { notes, view, formula, printing, compareWith };
}
