// The status bar below the client area: the file and its flag, the record's state, the last
// command's message, a transfer's progress with Cancel, and the port.
import type { Doc } from './doc';
import { fill, kCancel, kChangedMark, kCompiled, kNoFileTip, kNotCompiled, kNotFileContent, kPort,
         kPortNone, kStatusFile, kUnsavedChanges } from './texts';

export class StatusBar {
  readonly element: HTMLElement;
  private file: HTMLElement;
  private state: HTMLElement;
  private message: HTMLElement;
  readonly progress: HTMLElement;
  readonly cancel: HTMLButtonElement;
  private port: HTMLElement;
  private saidAt = -1;
  portName = '';

  constructor(private doc: Doc) {
    const bar = (this.element = document.createElement('div'));
    bar.className = 'statusbar';
    bar.setAttribute('role', 'status');
    const span = (cls: string) => {
      const s = document.createElement('span');
      s.className = cls;
      bar.append(s);
      return s;
    };
    this.file = span('st-file');
    this.state = span('st-state');
    this.message = span('st-message');
    this.progress = span('st-progress');
    this.progress.hidden = true;
    this.cancel = document.createElement('button');
    this.cancel.type = 'button';
    this.cancel.textContent = kCancel;
    this.cancel.hidden = true;
    bar.append(this.cancel);
    this.port = span('st-port');
    this.refresh();
  }

  say(text: string): void {
    this.message.textContent = text;
    this.message.title = text;
    this.saidAt = this.doc.revision;
  }

  /** What the last command said belongs to the configuration it was said of. */
  forgetStale(): void {
    if (this.doc.revision !== this.saidAt) this.say('');
    this.saidAt = this.doc.revision;
  }

  refresh(): void {
    const { doc } = this;
    this.file.textContent = kStatusFile + doc.fileName + (doc.changed ? kChangedMark : '');
    this.file.title = doc.hasFile ? doc.fileName : kNoFileTip;
    let state = doc.compiled ? kCompiled : kNotCompiled;
    if (doc.changed) state = kUnsavedChanges + state.toLowerCase();
    if (doc.hasFile && !doc.fromFile) state = fill(kNotFileContent, doc.fileName) + state.toLowerCase();
    this.state.textContent = state;
    this.port.textContent = kPort + (this.portName || kPortNone);
  }
}
