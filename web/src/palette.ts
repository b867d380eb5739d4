// The palette's pictures: a drag drops the picture on the segment it is released over; a click
// (or Enter, Space) arms it for click-to-stamp.
import type { ClientArea } from './client';
import type { GridEditor } from './editor';

/** How far the pointer moves, pressed on a palette picture, before it drags. */
const kDragDistance = 4;

export function wirePalette(editor: GridEditor, client: ClientArea): void {
  for (const p of client.imgSelect) {
    const code = Number(p.dataset.code);
    p.addEventListener('pointerdown', (e) => {
      if (e.button !== 0) return;
      e.preventDefault();
      p.setPointerCapture(e.pointerId);
      const startX = e.clientX, startY = e.clientY;
      let ghost: HTMLElement | null = null;
      const move = (m: PointerEvent) => {
        if (!ghost && Math.abs(m.clientX - startX) + Math.abs(m.clientY - startY) < kDragDistance) return;
        if (!ghost) {
          ghost = document.createElement('div');
          ghost.className = 'drag-ghost';
          ghost.innerHTML = p.innerHTML;
          document.body.append(ghost);
        }
        ghost.style.left = `${m.pageX - (startX - p.getBoundingClientRect().left)}px`;
        ghost.style.top = `${m.pageY - (startY - p.getBoundingClientRect().top)}px`;
      };
      const up = (u: PointerEvent) => {
        p.removeEventListener('pointermove', move);
        p.removeEventListener('pointerup', up);
        p.removeEventListener('pointercancel', up);
        if (!ghost) {
          // Released without a drag: a click, which arms the picture for click-to-stamp.
          if (u.type === 'pointerup') editor.arm(code);
          return;
        }
        ghost.remove();
        if (u.type !== 'pointerup') return;
        const under = document.elementFromPoint(u.clientX, u.clientY)?.closest<HTMLElement>('[data-seg]');
        if (under && client.grid.contains(under)) editor.drop(Number(under.dataset.seg), code);
      };
      p.addEventListener('pointermove', move);
      p.addEventListener('pointerup', up);
      p.addEventListener('pointercancel', up);
    });
    p.addEventListener('keydown', (e) => {
      if (e.key === 'Enter' || e.key === ' ') {
        e.preventDefault();
        editor.arm(code);
      }
    });
  }
}
