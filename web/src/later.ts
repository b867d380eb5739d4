// Calls a later build of the module has (the region edits, the Test's segments, Open's reading,
// compile's refusal), used where present; without them the editor uses the calls it is built with.
import type { ZezUdiModule } from '../../wasm/zezudi';

type Cdf = Uint8Array;
export interface LaterCalls {
  placeElement(cdf: Cdf, output: number, segA: number, segB: number, element: number): Cdf;
  toggleLink(cdf: Cdf, output: number, segA: number, segB: number, link: number): Cdf;
  chooseInput(cdf: Cdf, output: number, segA: number, segB: number, input: number): Cdf;
  readableRegion(cdf: Cdf, output: number, segA: number, segB: number): string;
  testSegments(cdf: Cdf, output: number, inputs: number): { on: boolean; segments: Uint8Array };
  openCdf(bytes: Uint8Array, name: string): {
    cdf: Cdf; invalid: { types: number; inputs: number; segments: number }; looksLike: string | null };
}

/** The module with whichever of the later calls it has. */
export const later = (core: ZezUdiModule) => core as ZezUdiModule & Partial<LaterCalls>;

/** Compile as the editor compiles: what the command line refuses (values outside the codes) is
 *  compiled all the same, as the desktop editor does. */
export function compileAsEditor(core: ZezUdiModule, cdf: Cdf): void {
  const compile = core.compile as (cdf: Cdf, reference: boolean, options?: { force: boolean }) => unknown;
  // A build that refuses takes the options as a third argument; an older one takes two only.
  if (compile.length >= 3) compile(cdf, false, { force: true });
  else compile(cdf, false);
}
