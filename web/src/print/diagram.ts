// An output's whole diagram as one SVG picture, for the printed pages and the formula's preview:
// the palette's segment pictures on the 16 x 16 grid between the supply rail (left) and the
// output rail (right), each contact's input above it.
import type { ZezUdiModule } from '../../../wasm/zezudi';
import { escapeHtml } from '../dialogs';
import { inputLabel } from '../editor';
import { pictureSvg } from '../picture';

export const kDrawWidth = 16 * 40 + 2;
export const kDrawHeight = 16 * 40;

/** The SVG markup of `output`'s diagram in `cdf`, `label` naming it for screen readers. */
export function diagramSvg(core: ZezUdiModule, cdf: Uint8Array, output: number, label: string): string {
  const { codes, inputs } = core.segments(cdf, output);
  let cells = '';
  for (let s = 0; s < 256; ++s) {
    const x = 1 + 40 * (s % 16), y = 40 * Math.floor(s / 16);
    const code = codes[s];
    cells += `<g transform="translate(${x} ${y})">${pictureSvg(code)}`;
    if (code >= 8 && code <= 15)
      cells += `<text x="4" y="13" font-size="11" font-weight="bold">${escapeHtml(inputLabel(inputs[s]))}</text>`;
    cells += '</g>';
  }
  const rails = `<rect x="0" y="0" width="2" height="${kDrawHeight}"/>` +
    `<rect x="${kDrawWidth - 2}" y="0" width="2" height="${kDrawHeight}"/>`;
  return `<svg class="diagram" viewBox="0 0 ${kDrawWidth} ${kDrawHeight}" role="img" ` +
    `aria-label="${escapeHtml(label)}" shape-rendering="crispEdges" font-family="sans-serif">${cells}${rails}</svg>`;
}
