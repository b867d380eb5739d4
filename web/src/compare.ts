// File > Compare With File: the configuration shown against a CDF file or a text form, by the
// core's comparison; the findings in a box, the verdict in the status bar.
import type { ZezUdiModule } from '../../wasm/zezudi';
import type { Doc } from './doc';
import * as dialogs from './dialogs';
import type { FileFlow } from './files';
import { fill, kCompareFileText, kComparedDiffers, kComparedSame, kTitleCompareFile } from './texts';

/** Compares with a file the user picks; `compared` is given the file's configuration, which the
 *  grid then frames the differing segments against, when a diagram differs (else null). */
export async function compareWithFile(core: ZezUdiModule, doc: Doc, files: FileFlow, say: (text: string) => void,
                                      compared: (other: Uint8Array | null, name: string) => void): Promise<void> {
  const chosen = await files.choose(kTitleCompareFile);
  if (!chosen) return;
  let other: Uint8Array;
  try {
    other = core.readEither(new Uint8Array(await chosen.file.arrayBuffer()), chosen.file.name);
  } catch (e) {
    await dialogs.message(e instanceof Error ? e.message : String(e), kTitleCompareFile, 'critical');
    return;
  }
  const c = core.compare(doc.cdf, other);
  const text = fill(kCompareFileText, chosen.file.name, c.text.trim()).replace(/\n/g, '\r\n');
  await dialogs.message(text, kTitleCompareFile, c.same ? 'information' : 'warning');
  say(fill(c.same ? kComparedSame : kComparedDiffers, chosen.file.name));
  const diagrams = [...Array(8).keys()].some((o) => core.differences(doc.cdf, other, o).length > 0);
  compared(diagrams ? other : null, chosen.file.name);
}
