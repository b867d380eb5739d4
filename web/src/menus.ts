// The menu bar: menus of items with the desktop's captions (& marks the access key), shortcuts,
// enabling and check marks; opened by the mouse, Alt with the access key, or F10, and walked with
// the arrows. Shortcuts act from anywhere in the window while no box is open.
import { boxOpen, caption } from './dialogs';

export interface Item {
  text?: string;
  /** Shortcut combos as "Ctrl+Shift+S", "F6", "Delete"; the first is shown. */
  keys?: string[];
  run?: () => void;
  enabled?: () => boolean;
  checked?: () => boolean;
  /** Items of a submenu, made when it opens. */
  submenu?: () => Item[];
  separator?: boolean;
  /** An empty place in the menu that `Menu.render` fills (the granted ports). */
  slot?: boolean;
}

export interface Menu {
  text: string;
  items?: Item[];
  /** A menu that is a command itself (Notes). */
  run?: () => void;
  /** The guide's section for F1 while the menu is open. */
  help?: string;
  /** Fills the menu's slot each time the menu opens. */
  render?: (slot: HTMLElement) => void;
}

/** The combo a key event makes, as the items name them. */
export function comboOf(e: KeyboardEvent): string {
  let key = e.key.length === 1 ? e.key.toUpperCase() : e.key;
  if (key === ' ') key = 'Space';
  const mods = [e.ctrlKey || e.metaKey ? 'Ctrl' : '', e.shiftKey ? 'Shift' : '', e.altKey ? 'Alt' : ''];
  return [...mods.filter(Boolean), key].join('+');
}

export class MenuBar {
  readonly element: HTMLElement;
  private tops: HTMLButtonElement[] = [];
  private popup: HTMLElement | null = null;
  private sub: HTMLElement | null = null;
  private openIndex = -1;
  /** The open menu's help section, for F1. */
  openHelp: string | null = null;

  constructor(private menus: Menu[], private ready: () => boolean) {
    this.element = document.createElement('div');
    this.element.className = 'menubar';
    this.element.setAttribute('role', 'menubar');
    this.element.setAttribute('aria-label', 'Menu');
    menus.forEach((m, n) => {
      const b = document.createElement('button');
      b.type = 'button';
      b.className = 'menu-top';
      b.setAttribute('role', 'menuitem');
      b.tabIndex = n === 0 ? 0 : -1;
      b.innerHTML = caption(m.text).html;
      if (m.items) b.setAttribute('aria-haspopup', 'menu');
      b.addEventListener('mousedown', (e) => {
        e.preventDefault();
        if (this.openIndex === n) this.close();
        else this.activate(n, false);
      });
      b.addEventListener('mouseenter', () => {
        if (this.openIndex >= 0 && this.openIndex !== n && m.items) this.activate(n, false);
      });
      b.addEventListener('keydown', (e) => this.topKey(e, n));
      this.tops.push(b);
      this.element.append(b);
    });
    // A press anywhere else closes the menu (pointerdown: the grid's presses have no mousedown).
    document.addEventListener('pointerdown', (e) => {
      if (this.openIndex >= 0 && !this.element.contains(e.target as Node) &&
          !this.popup?.contains(e.target as Node) && !this.sub?.contains(e.target as Node))
        this.close();
    }, true);
    document.addEventListener('keydown', (e) => this.globalKey(e), true);
  }

  private globalKey(e: KeyboardEvent): void {
    if (boxOpen() || !this.ready()) return;
    if (e.key === 'Alt' || e.key === 'F10') {
      if (e.key === 'F10') {
        e.preventDefault();
        this.tops[0].focus();
      }
      return;
    }
    if (e.altKey && !e.ctrlKey && e.key.length === 1) {
      const n = this.menus.findIndex((m) => caption(m.text).key === e.key.toLowerCase());
      if (n >= 0) {
        e.preventDefault();
        this.activate(n, true);
      }
      return;
    }
    if (this.openIndex >= 0) return; // the open menu takes the keys
    const combo = comboOf(e);
    for (const m of this.menus)
      for (const item of m.items ?? []) {
        if (!item.keys?.includes(combo)) continue;
        // Editing keys typed into a text field stay with it.
        const t = e.target as HTMLElement;
        if ((t.tagName === 'INPUT' || t.tagName === 'TEXTAREA' || t.tagName === 'SELECT') &&
            !combo.startsWith('Ctrl+') && !combo.startsWith('F')) return;
        if (t.tagName === 'TEXTAREA' || t.tagName === 'INPUT') {
          if (['Ctrl+C', 'Ctrl+X', 'Ctrl+V', 'Ctrl+A', 'Ctrl+Z', 'Ctrl+Y', 'Ctrl+Shift+Z'].includes(combo)) return;
        }
        e.preventDefault();
        // Only here: F1 would otherwise run the guide's own listener too, with the focus moved.
        e.stopImmediatePropagation();
        if (!item.enabled || item.enabled()) item.run?.();
        return;
      }
  }

  private topKey(e: KeyboardEvent, n: number): void {
    const count = this.tops.length;
    if (e.key === 'ArrowRight' || e.key === 'ArrowLeft') {
      e.preventDefault();
      const to = (n + (e.key === 'ArrowRight' ? 1 : count - 1)) % count;
      if (this.openIndex >= 0) this.activate(to, true);
      else this.tops[to].focus();
    } else if (e.key === 'ArrowDown' || e.key === 'Enter' || e.key === ' ') {
      e.preventDefault();
      this.activate(n, true);
    } else if (e.key === 'Escape') {
      this.close();
    }
  }

  private activate(n: number, focusFirst: boolean): void {
    this.close();
    const m = this.menus[n];
    if (m.run) {
      m.run();
      return;
    }
    this.openIndex = n;
    this.openHelp = m.help ?? null;
    const top = this.tops[n];
    top.setAttribute('aria-expanded', 'true');
    top.classList.add('open');
    this.popup = this.build(m.items ?? [], top.getBoundingClientRect().left,
                            top.getBoundingClientRect().bottom, caption(m.text).plain, n);
    const slot = this.popup.querySelector<HTMLElement>('.menu-slot');
    if (slot && m.render) m.render(slot);
    if (focusFirst) this.focusItem(this.popup, 0, 1);
    else top.focus();
  }

  private build(items: Item[], x: number, y: number, label: string, top: number, isSub = false): HTMLElement {
    const menu = document.createElement('div');
    menu.className = 'menu';
    menu.setAttribute('role', 'menu');
    menu.setAttribute('aria-label', label);
    menu.style.left = `${x + window.scrollX}px`;
    menu.style.top = `${y + window.scrollY}px`;
    for (const item of items) {
      if (item.slot) {
        const s = document.createElement('div');
        s.className = 'menu-slot';
        s.setAttribute('role', 'none');
        menu.append(s);
        continue;
      }
      if (item.separator) {
        const s = document.createElement('div');
        s.className = 'menu-sep';
        s.setAttribute('role', 'separator');
        menu.append(s);
        continue;
      }
      const el = document.createElement('div');
      const checkable = item.checked !== undefined;
      el.setAttribute('role', checkable ? 'menuitemcheckbox' : 'menuitem');
      el.tabIndex = -1;
      el.className = 'menu-item';
      const c = caption(item.text ?? '');
      el.dataset.key = c.key;
      const enabled = !item.enabled || item.enabled();
      if (!enabled) el.setAttribute('aria-disabled', 'true');
      if (checkable) el.setAttribute('aria-checked', String(item.checked!()));
      el.innerHTML = `<span class="mark">${checkable && item.checked!() ? '✓' : ''}</span>` +
        `<span class="label">${c.html}</span><span class="keys">${item.keys?.[0] ?? ''}${item.submenu ? ' ▸' : ''}</span>`;
      if (item.submenu) el.setAttribute('aria-haspopup', 'menu');
      const run = () => {
        if (!enabled) return;
        if (item.submenu) {
          this.openSub(el, item, top);
          return;
        }
        this.close();
        item.run?.();
      };
      el.addEventListener('click', run);
      el.addEventListener('mouseenter', () => {
        el.focus();
        if (!isSub && this.sub) { this.sub.remove(); this.sub = null; }
        if (item.submenu && enabled) this.openSub(el, item, top);
      });
      menu.append(el);
    }
    // Keys on any item, the slot's too; a click on a slot's item closes the menu after it ran
    // (seen as the click starts: the item may fill the slot anew and leave the menu).
    menu.addEventListener('keydown', (e) => {
      const el = (e.target as HTMLElement).closest<HTMLElement>('.menu-item');
      if (el) this.itemKey(e, menu, el, top, isSub);
    });
    menu.addEventListener('click', (e) => {
      if ((e.target as HTMLElement).closest('.menu-slot .menu-item')) setTimeout(() => this.close(), 0);
    }, true);
    document.body.append(menu);
    return menu;
  }

  private openSub(el: HTMLElement, item: Item, top: number): void {
    this.sub?.remove();
    const r = el.getBoundingClientRect();
    this.sub = this.build(item.submenu!(), r.right, r.top, caption(item.text ?? '').plain, top, true);
    this.focusItem(this.sub, 0, 1);
  }

  private focusItem(menu: HTMLElement, from: number, step: number): void {
    const items = [...menu.querySelectorAll<HTMLElement>('.menu-item')];
    if (items.length === 0) return;
    for (let k = 0; k < items.length; ++k) {
      const i = ((from + step * k) % items.length + items.length) % items.length;
      items[i].focus();
      return;
    }
  }

  private itemKey(e: KeyboardEvent, menu: HTMLElement, el: HTMLElement, top: number, isSub: boolean): void {
    const run = () => el.click();
    const items = [...menu.querySelectorAll<HTMLElement>('.menu-item')];
    const at = items.indexOf(el);
    e.stopPropagation();
    if (e.key === 'ArrowDown' || e.key === 'ArrowUp') {
      e.preventDefault();
      const step = e.key === 'ArrowDown' ? 1 : -1;
      items[(at + step + items.length) % items.length].focus();
    } else if (e.key === 'Enter' || e.key === ' ') {
      e.preventDefault();
      run();
    } else if (e.key === 'Escape') {
      e.preventDefault();
      if (isSub) {
        this.sub?.remove();
        this.sub = null;
        this.popup?.querySelector<HTMLElement>('[aria-haspopup]')?.focus();
      } else {
        this.close();
        this.tops[top].focus();
      }
    } else if (e.key === 'ArrowRight' && el.hasAttribute('aria-haspopup')) {
      e.preventDefault();
      run();
    } else if (e.key === 'ArrowLeft' && isSub) {
      e.preventDefault();
      this.sub?.remove();
      this.sub = null;
    } else if (e.key === 'ArrowLeft' || e.key === 'ArrowRight') {
      e.preventDefault();
      const count = this.tops.length;
      let to = top;
      do to = (to + (e.key === 'ArrowRight' ? 1 : count - 1)) % count; while (this.menus[to].run);
      this.activate(to, true);
    } else if (e.key.length === 1 && !e.ctrlKey && !e.altKey) {
      const hit = items.find((i) => i.dataset.key === e.key.toLowerCase());
      if (hit) {
        e.preventDefault();
        hit.click();
      }
    }
  }

  close(): void {
    this.sub?.remove();
    this.popup?.remove();
    this.sub = this.popup = null;
    if (this.openIndex >= 0) {
      this.tops[this.openIndex].removeAttribute('aria-expanded');
      this.tops[this.openIndex].classList.remove('open');
    }
    this.openIndex = -1;
    this.openHelp = null;
  }

  get isOpen(): boolean {
    return this.openIndex >= 0;
  }
}
