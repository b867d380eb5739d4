// The user guide beside the editor: the chapters of docs/guide, rendered at build time. F1 opens
// the section of what it is asked about ("drawing.md#The palette"); links between chapters stay
// in the guide.
import chapters from 'zez:guide';

const kContents = 'index.md';
const kTroubleshooting = 'troubleshooting.md';
const kTitle = 'ZezUdi User Guide';

export class HelpWindow {
  readonly element: HTMLElement;
  private title: HTMLElement;
  private body: HTMLElement;

  constructor() {
    const w = (this.element = document.createElement('section'));
    w.className = 'help';
    w.setAttribute('role', 'dialog');
    w.setAttribute('aria-label', kTitle);
    w.hidden = true;
    const bar = document.createElement('div');
    bar.className = 'help-bar';
    this.title = document.createElement('span');
    const contents = document.createElement('button');
    contents.type = 'button';
    contents.textContent = 'Contents';
    contents.addEventListener('click', () => this.show(kContents));
    const close = document.createElement('button');
    close.type = 'button';
    close.textContent = '✕';
    close.setAttribute('aria-label', 'Close');
    close.addEventListener('click', () => this.hide());
    bar.append(this.title, contents, close);
    this.body = document.createElement('div');
    this.body.className = 'help-body';
    this.body.tabIndex = -1;
    this.body.addEventListener('click', (e) => {
      const a = (e.target as HTMLElement).closest('a');
      const href = a?.getAttribute('href');
      if (!href || /^[a-z]+:/i.test(href)) return;
      e.preventDefault();
      this.show(decodeURIComponent(href));
    });
    w.addEventListener('keydown', (e) => {
      if (e.key === 'Escape') this.hide();
    });
    w.append(bar, this.body);
  }

  /** Shows `topic`: "file.md" or "file.md#Section title"; an unknown one shows the contents. */
  show(topic: string): void {
    const [file, section] = topic.split('#');
    const name = chapters[file] !== undefined ? file : kContents;
    this.body.innerHTML = chapters[name] ?? '';
    const h1 = this.body.querySelector('h1')?.textContent ?? '';
    this.title.textContent = `${kTitle} - ${h1}`;
    this.element.hidden = false;
    this.element.dataset.topic = name + (section ? `#${section}` : '');
    const heading = section
      ? [...this.body.querySelectorAll<HTMLElement>('[data-section]')].find((h) => h.dataset.section === section)
      : null;
    this.body.scrollTop = 0;
    if (heading) heading.scrollIntoView({ block: 'start' });
    this.body.focus();
  }

  /** The troubleshooting chapter at the section that holds the longest run of the message's words. */
  showMessage(message: string): void {
    this.show(kTroubleshooting);
    const blocks = [...this.body.querySelectorAll<HTMLElement>('p, li, td, h2, h3, h4, pre')];
    let best: HTMLElement | null = null;
    let bestWords = 0;
    for (const line of message.replace(/\r\n/g, '\n').split('\n')) {
      const words = line.split(' ').filter(Boolean);
      for (let n = words.length; n > bestWords; --n) {
        let found: HTMLElement | undefined;
        for (let from = 0; from + n <= words.length && !found; ++from) {
          const run = words.slice(from, from + n).join(' ');
          found = blocks.find((b) => (b.textContent ?? '').includes(run));
        }
        if (found) {
          best = found;
          bestWords = n;
          break;
        }
      }
    }
    if (!best) return;
    // The section the words are in: the heading before them.
    const headings = [...this.body.querySelectorAll<HTMLElement>('[data-section]')];
    const heading = headings.filter((h) => h.compareDocumentPosition(best!) & Node.DOCUMENT_POSITION_FOLLOWING).pop();
    (heading ?? best).scrollIntoView({ block: 'start' });
    this.element.dataset.topic = `${kTroubleshooting}#${heading?.dataset.section ?? ''}`;
  }

  hide(): void {
    this.element.hidden = true;
  }
}
