// Loads the WebAssembly core: from beside the page when served, or from the base64 copy the
// single file carries (a file:// page cannot fetch its neighbours).
import type { ZezUdiModule } from '../../wasm/zezudi';

type Factory = (overrides?: { wasmBinary?: Uint8Array }) => Promise<ZezUdiModule>;

function inlinedWasm(): Uint8Array | undefined {
  const holder = document.getElementById('zezudi-wasm');
  if (!holder || !holder.textContent) return undefined;
  const text = atob(holder.textContent.trim());
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
  holder.remove(); // the text is no longer needed
  return bytes;
}

export async function loadCore(): Promise<ZezUdiModule> {
  const factory = (globalThis as unknown as { ZezUdi?: Factory }).ZezUdi;
  if (!factory) throw new Error('The module loader (zezudi.js) is missing.');
  const wasmBinary = inlinedWasm();
  return factory(wasmBinary ? { wasmBinary } : {});
}
