// The segment pictures, 40 x 40 like the desktop's: each stroke is a rectangle tagged with the
// part of the segment it belongs to (element, junction, up link, down link), so the Test run
// lights exactly the parts that carried the supply.
export type Part = 'element' | 'junction' | 'up' | 'down';
export interface Lit { element: boolean; junction: boolean; up: boolean; down: boolean }
export const kUnlit: Lit = { element: false, junction: false, up: false, down: false };

type Stroke = [x0: number, x1: number, y0: number, y1: number, part: Part];

const kLinkUp = 1;
const kLinkDown = 2;

/** The strokes of a valid code (0..15), inclusive pixel ranges as the desktop fills them. */
function strokes(code: number): Stroke[] {
  const s: Stroke[] = [];
  const element = (code >> 2) & 3;
  if (element === 1) s.push([0, 37, 27, 28, 'element'], [38, 39, 27, 28, 'junction']);
  if (element >= 2) {
    s.push([0, 13, 27, 28, 'element'], [12, 13, 20, 35, 'element']);
    s.push([23, 24, 20, 35, 'junction'], [23, 39, 27, 28, 'junction']);
  }
  if (element === 3) {
    // The closed contact's slash, two pixels wide, down to the left.
    s.push([21, 21, 21, 21, 'element'], [15, 15, 34, 34, 'element']);
    for (let y = 22; y <= 33; ++y) {
      const c = 20 - Math.floor((y - 22) / 2);
      s.push([c, c + 1, y, y, 'element']);
    }
  }
  if (code & kLinkUp) s.push([38, 39, 0, 26, 'up'], [38, 39, 27, 28, 'junction']);
  if (code & kLinkDown) s.push([38, 39, 29, 39, 'down'], [38, 39, 27, 28, 'junction']);
  return s;
}

const kGround =
  '<rect width="40" height="40" fill="#fff"/>' +
  '<rect x="0" y="0" width="1" height="1" fill="#808080"/><rect x="39" y="0" width="1" height="1" fill="#808080"/>' +
  '<rect x="0" y="39" width="1" height="1" fill="#808080"/><rect x="39" y="39" width="1" height="1" fill="#808080"/>';

function rect([x0, x1, y0, y1]: Stroke | [number, number, number, number], fill: string): string {
  return `<rect x="${x0}" y="${y0}" width="${x1 - x0 + 1}" height="${y1 - y0 + 1}" fill="${fill}"/>`;
}

/** A code outside 0..15: a frame with a cross in dark red. */
function invalid(): string {
  let out = '';
  for (let i = 2; i <= 37; ++i) out += rect([i, i, i, i], '#c00000') + rect([39 - i, 39 - i, i, i], '#c00000');
  return out + rect([2, 37, 2, 2], '#c00000') + rect([2, 37, 37, 37], '#c00000') +
    rect([2, 2, 2, 37], '#c00000') + rect([37, 37, 2, 37], '#c00000');
}

/** The inner SVG markup of segment `code`, the parts in `lit` drawn red. */
export function pictureSvg(code: number, lit: Lit = kUnlit): string {
  if (!(code >= 0 && code <= 15)) return kGround + invalid();
  return kGround + strokes(code).map((s) => rect(s, lit[s[4]] ? '#ff0000' : '#000000')).join('');
}

/** A whole <svg> element's markup for `code` at 40 x 40. */
export function pictureElement(code: number, lit: Lit = kUnlit): string {
  return `<svg viewBox="0 0 40 40" width="40" height="40" shape-rendering="crispEdges" aria-hidden="true">${pictureSvg(code, lit)}</svg>`;
}
