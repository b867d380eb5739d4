// Tools ▸ Rewire Signals, Find Signal and Find Next, with the desktop's questions and messages.
import type { ZezUdiModule } from '../../wasm/zezudi';
import type { Doc } from './doc';
import type { GridEditor } from './editor';
import * as dialogs from './dialogs';
import { fill, kFindAsk, kFoundContact, kNoContactOn, kNoSignal, kRewireAsk, kRewireMoved, kRewireNothing,
         kTitleFind, kTitleRewire } from './texts';

/** "I3", "P1": the signal's name as the Test frame shows it. */
export const signalName = (sel: number) => (sel < 8 ? `I${sel + 1}` : `P${sel - 7}`);

export class Tools {
  private sought = -1;
  say: (text: string) => void = () => {};

  constructor(private core: ZezUdiModule, private doc: Doc, private editor: GridEditor) {}

  async rewire(): Promise<void> {
    let moves = '';
    for (;;) {
      moves = (await dialogs.askText(kRewireAsk, kTitleRewire, moves)) ?? '';
      if (moves === '') return; // cancelled
      let said: string;
      let result: { cdf: Uint8Array; moved: number[] };
      try {
        said = this.core.signalMap(moves);
        result = this.core.rewire(this.doc.cdf, moves, 255);
      } catch (e) {
        await dialogs.message(e instanceof Error ? e.message : String(e), kTitleRewire, 'warning');
        continue;
      }
      const moved = result.moved.reduce((a, b) => a + b, 0);
      if (moved === 0) return this.say(said + kRewireNothing); // the flags stay as they are
      this.editor.clearSelection();
      this.doc.editOutputs(kTitleRewire, result.cdf);
      this.say(fill(kRewireMoved, said, moved));
      return;
    }
  }

  async findSignal(): Promise<void> {
    for (;;) {
      const text = await dialogs.askText(kFindAsk, kTitleFind, this.sought < 0 ? '' : signalName(this.sought));
      if (!text) return; // cancelled
      const name = text.replace(/ /g, ''); // "P 3" as labelled
      const m = /^([IiPp])([1-8])$/.exec(name);
      if (m) {
        this.sought = Number(m[2]) - 1 + (m[1].toUpperCase() === 'P' ? 8 : 0);
        return this.findNext();
      }
      await dialogs.message(fill(kNoSignal, text), kTitleFind, 'warning');
    }
  }

  async findNext(): Promise<void> {
    if (this.sought < 0) return this.findSignal();
    const name = signalName(this.sought);
    const contacts: Array<[number, number]> = [];
    for (let o = 0; o < 8; ++o) {
      const { codes, inputs } = this.core.segments(this.doc.cdf, o);
      for (let s = 0; s < 256; ++s) if (codes[s] >= 8 && codes[s] <= 15 && inputs[s] === this.sought) contacts.push([o, s]);
    }
    if (contacts.length === 0) return this.say(name + kNoContactOn);
    // After the cursor; from the top of the shown output while no cursor is shown.
    const here = [this.doc.output, this.editor.cursorShown ? this.editor.cursor : -1];
    let at = contacts.findIndex(([o, s]) => o > here[0] || (o === here[0] && s > here[1]));
    if (at < 0) at = 0;
    const [output, seg] = contacts[at];
    this.doc.showOutput(output);
    this.editor.select(seg, false); // never a stamp of the armed picture
    this.editor.focus();
    this.say(fill(kFoundContact, name, at + 1, contacts.length, output + 1, Math.floor(seg / 16) + 1, (seg % 16) + 1));
  }
}
