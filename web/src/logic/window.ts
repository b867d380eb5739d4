// A window of its own in the page (the notes, the Logic window, Draw From Formula): a title bar
// with its caption and a close button, placed over the editor. A modal one leaves the editor
// inert and keeps the editor's keys from it while it is open, as the desktop's dialogs do; F1 in
// it still opens its section of the guide.
import { escapeHtml } from '../dialogs';

export interface WindowOptions {
  title: string;
  /** The guide's section for F1. */
  help: string;
  width: number;
  height: number;
  modal: boolean;
  className: string;
}

/** Where F1 leads (main.ts's guide window). */
export type ShowHelp = (topic: string) => void;

export class PageWindow {
  readonly element: HTMLElement;
  readonly body: HTMLElement;
  private readonly heading: HTMLElement;
  private guard: ((e: KeyboardEvent) => void) | null = null;
  private inerted: HTMLElement[] = [];
  private returnFocus: HTMLElement | null = null;
  /** Called once the window was closed. */
  onClose: () => void = () => {};

  constructor(private options: WindowOptions, private showHelp: ShowHelp) {
    const w = (this.element = document.createElement('section'));
    w.className = `page-window ${options.className}`;
    w.setAttribute('role', 'dialog');
    w.setAttribute('aria-label', options.title);
    if (options.modal) w.setAttribute('aria-modal', 'true');
    w.dataset.help = options.help;
    w.hidden = true;
    w.style.width = `${options.width}px`;
    w.style.height = `${options.height}px`;
    const bar = document.createElement('div');
    bar.className = 'page-window-bar';
    this.heading = document.createElement('span');
    this.heading.innerHTML = escapeHtml(options.title);
    const close = document.createElement('button');
    close.type = 'button';
    close.textContent = '✕';
    close.setAttribute('aria-label', 'Close');
    close.addEventListener('click', () => this.close());
    bar.append(this.heading, close);
    this.body = document.createElement('div');
    this.body.className = 'page-window-body';
    w.append(bar, this.body);
    w.addEventListener('keydown', (e) => {
      if (e.key === 'Escape' && !e.defaultPrevented) {
        e.preventDefault();
        this.close();
      }
    });
    this.dragBy(bar);
  }

  set title(text: string) {
    this.heading.textContent = text;
    this.element.setAttribute('aria-label', text);
  }

  get isOpen(): boolean {
    return !this.element.hidden;
  }

  open(x: number, y: number): void {
    if (!this.element.isConnected) document.body.append(this.element);
    if (this.isOpen) return;
    this.returnFocus = document.activeElement as HTMLElement | null;
    const maxX = Math.max(0, window.innerWidth - this.options.width - 4);
    this.element.style.left = `${Math.min(x, maxX) + window.scrollX}px`;
    this.element.style.top = `${Math.max(0, y) + window.scrollY}px`;
    this.element.hidden = false;
    if (!this.options.modal) return;
    this.inerted = [...document.querySelectorAll<HTMLElement>('.window, .menu, .page-window')]
      .filter((el) => el !== this.element && !el.inert);
    for (const el of this.inerted) el.inert = true;
    this.guard = (e) => {
      const t = e.target as HTMLElement;
      if (t.closest?.('dialog.box')) return; // a message box over this window has its own keys
      if (e.key === 'F1') {
        e.preventDefault();
        this.showHelp(this.options.help);
      }
      if (!this.element.contains(t) && e.key !== 'F1') e.preventDefault();
      // Enter reaches the window's own fields (a formula's Enter is OK); no other key reaches the
      // editor's shortcuts while the window is open.
      if (e.key === 'Enter' && this.element.contains(t)) return;
      e.stopPropagation();
      if (e.key === 'Escape' && this.element.contains(t)) this.close();
    };
    window.addEventListener('keydown', this.guard, true);
  }

  close(): void {
    if (!this.isOpen) return;
    this.element.hidden = true;
    if (this.guard) window.removeEventListener('keydown', this.guard, true);
    this.guard = null;
    for (const el of this.inerted) el.inert = false;
    this.inerted = [];
    this.returnFocus?.focus?.();
    this.onClose();
  }

  private dragBy(bar: HTMLElement): void {
    bar.addEventListener('pointerdown', (e) => {
      if ((e.target as HTMLElement).closest('button')) return;
      const x0 = e.clientX - this.element.offsetLeft, y0 = e.clientY - this.element.offsetTop;
      const move = (m: PointerEvent) => {
        this.element.style.left = `${Math.max(0, m.clientX - x0)}px`;
        this.element.style.top = `${Math.max(0, m.clientY - y0)}px`;
      };
      const up = () => {
        window.removeEventListener('pointermove', move);
        window.removeEventListener('pointerup', up);
      };
      window.addEventListener('pointermove', move);
      window.addEventListener('pointerup', up);
    });
  }
}
