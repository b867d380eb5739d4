// Message boxes and questions in the page: modal, with the desktop's titles, texts and buttons.
// Each resolves with the button chosen (Escape: No, or OK where there is no No).
import { kAppTitle, kCancel, kNo, kOk, kYes, lines } from './texts';

export type Icon = 'none' | 'information' | 'warning' | 'critical' | 'question';
const kIcons: Record<Icon, string> = { none: '', information: 'ℹ', warning: '⚠', critical: '⛔', question: '?' };

/** "&Yes" as a caption with its access key underlined; the key itself. */
export function caption(text: string): { html: string; key: string; plain: string } {
  const at = text.indexOf('&');
  const plain = text.replace('&', '');
  if (at < 0 || at + 1 >= text.length) return { html: escapeHtml(plain), key: '', plain };
  const key = text[at + 1];
  return { html: `${escapeHtml(text.slice(0, at))}<u>${escapeHtml(key)}</u>${escapeHtml(text.slice(at + 2))}`,
           key: key.toLowerCase(), plain };
}

export function escapeHtml(s: string): string {
  return s.replace(/[&<>"]/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' })[c]!);
}

let open = 0;
/** F1 in a box: the guide's word on its message. */
export const boxHelp = { show: (_message: string) => {} };
/** Whether a message box is showing (the window's keys wait meanwhile). */
export function boxOpen(): boolean {
  return open > 0;
}

/** A box; `input` adds a line of text to fill in (its initial text) or a list to choose from (its
 *  items, the first chosen). */
function box(text: string, title: string, icon: Icon, buttons: string[], input?: string | string[]):
    Promise<{ button: number; value: string; index: number }> {
  return new Promise((resolve) => {
    const dialog = document.createElement('dialog');
    dialog.className = 'box';
    dialog.setAttribute('aria-label', title || kAppTitle);
    const head = document.createElement('div');
    head.className = 'box-title';
    head.textContent = title || kAppTitle;
    const body = document.createElement('div');
    body.className = 'box-body';
    if (kIcons[icon]) {
      const i = document.createElement('span');
      i.className = `box-icon ${icon}`;
      i.textContent = kIcons[icon];
      i.setAttribute('aria-hidden', 'true');
      body.append(i);
    }
    const message = document.createElement('div');
    message.className = 'box-text';
    message.textContent = lines(text);
    body.append(message);
    let field: HTMLInputElement | HTMLSelectElement | null = null;
    if (Array.isArray(input)) {
      field = document.createElement('select');
      for (const item of input) field.add(new Option(item));
    } else if (input !== undefined) {
      field = document.createElement('input');
      field.type = 'text';
      field.value = input;
    }
    if (field) {
      field.setAttribute('aria-label', lines(text));
      message.append(document.createElement('br'), field);
    }
    const row = document.createElement('div');
    row.className = 'box-buttons';
    const finish = (button: number) => {
      --open;
      dialog.close();
      dialog.remove();
      resolve({ button, value: field ? field.value : '', index: field instanceof HTMLSelectElement ? field.selectedIndex : -1 });
    };
    const keys: string[] = [];
    buttons.forEach((b, n) => {
      const c = caption(b);
      const el = document.createElement('button');
      el.type = 'button';
      el.innerHTML = c.html;
      el.addEventListener('click', () => finish(n));
      keys.push(c.key);
      row.append(el);
    });
    dialog.append(head, body, row);
    dialog.addEventListener('cancel', (e) => {
      e.preventDefault();
      finish(buttons.length - 1);
    });
    dialog.addEventListener('keydown', (e) => {
      if (e.key === 'F1') {
        e.preventDefault();
        boxHelp.show(text);
        return;
      }
      if (e.target === field) {
        if (e.key === 'Enter') finish(0);
        return;
      }
      const n = keys.indexOf(e.key.toLowerCase());
      if (n >= 0 && !e.ctrlKey && !e.altKey) {
        e.preventDefault();
        finish(n);
      }
    });
    document.body.append(dialog);
    ++open;
    dialog.showModal();
    (field ?? (row.firstElementChild as HTMLElement)).focus();
  });
}

export async function message(text: string, title: string, icon: Icon = 'none'): Promise<void> {
  await box(text, title, icon, [kOk]);
}

/** A Yes/No question; true for Yes. */
export async function ask(text: string, title: string, icon: Icon = 'question'): Promise<boolean> {
  return (await box(text, title, icon, [kYes, kNo])).button === 0;
}

/** A line of text asked for; null when cancelled. */
export async function askText(text: string, title: string, initial = ''): Promise<string | null> {
  const r = await box(text, title, 'none', [kOk, kCancel], initial);
  return r.button === 0 ? r.value : null;
}

/** One of `items` chosen from a list (OK, Cancel): its index, or -1 when cancelled. */
export async function choose(text: string, title: string, items: string[]): Promise<number> {
  const r = await box(text, title, 'none', [kOk, kCancel], items);
  return r.button === 0 ? r.index : -1;
}
