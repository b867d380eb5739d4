// The notes window (Notes): the configuration's note, edited within its 4000 characters. Every
// change goes straight into the record through the core, which stores it as the record does
// (a line break as CR LF, characters the set cannot hold as '?') and cuts what does not fit;
// the window always shows what is stored.
import type { ZezUdiModule } from '../../../wasm/zezudi';
import type { Doc } from '../doc';
import * as dialogs from '../dialogs';
import { fill } from '../texts';
import { kErrorTitle, kNotesTitle, kNotesUsed, kOutOfNoteSpace } from '../logic/texts';
import { PageWindow, ShowHelp } from '../logic/window';

const kLimit = 4000;

export class NotesWindow {
  readonly window: PageWindow;
  readonly text: HTMLTextAreaElement;
  readonly used: HTMLElement;

  constructor(private core: ZezUdiModule, private doc: Doc, showHelp: ShowHelp) {
    this.window = new PageWindow({ title: kNotesTitle, help: 'files.md#The note', width: 721, height: 489,
                                   modal: true, className: 'notes-window' }, showHelp);
    this.text = document.createElement('textarea');
    this.text.className = 'txt-notes';
    this.text.setAttribute('aria-label', kNotesTitle);
    this.text.spellcheck = false;
    this.used = document.createElement('div');
    this.used.className = 'lbl-unused';
    this.used.setAttribute('role', 'status');
    this.window.body.append(this.text, this.used);
    this.text.addEventListener('input', () => void this.changed(true));
  }

  /** Opens the window on the record's note, centred over the editor. */
  async open(): Promise<void> {
    this.text.value = '';
    this.window.open((window.innerWidth - 721) / 2, Math.max(8, (window.innerHeight - 489) / 2));
    const note = this.core.note(this.doc.cdf);
    this.showUsed(this.core.setNote(this.doc.cdf, note).length);
    this.text.focus();
    // Showing a note is a change like any other (one too long is cut back here); only the
    // unsaved-changes flag is put back.
    if (note !== '') {
      this.text.value = note;
      this.text.setSelectionRange(0, 0);
      await this.changed(false);
    }
  }

  private showUsed(length: number): void {
    this.used.textContent = fill(kNotesUsed, Math.min(length, kLimit));
  }

  /** Takes the text as typed; `typed` is false for the text the window was opened with. */
  private async changed(typed: boolean): Promise<void> {
    const wanted = this.text.value;
    const r = this.core.setNote(this.doc.cdf, wanted);
    const stored = this.core.note(r.cdf);
    if (stored !== wanted) {
      const at = this.text.selectionStart;
      this.text.value = stored;
      const end = Math.min(at, stored.length);
      this.text.setSelectionRange(end, end);
    }
    this.showUsed(r.length);
    this.doc.noteEdited(r.cdf, typed ? true : this.doc.changed);
    if (r.cut) {
      await dialogs.message(kOutOfNoteSpace, kErrorTitle, 'critical');
      this.text.focus();
    }
  }
}
