// A plain page around the transfers for the browser tests: buttons for the three commands, the
// Connect menu's ports, the caption and Cancel, and message boxes as dialogs with their buttons.
import ZezUdiFactory from '../../../wasm/zezudi';
import { createTransfers, type TransferUi } from '../../src/serial/transfers';

declare const ZezUdi: typeof ZezUdiFactory;
const $ = (id: string) => document.getElementById(id)!;

function box(text: string, title: string, buttons: string[]): Promise<string> {
  return new Promise((resolve) => {
    const dialog = document.createElement('div');
    dialog.setAttribute('role', 'dialog');
    dialog.setAttribute('aria-label', title);
    const p = document.createElement('p');
    p.textContent = text;
    dialog.append(p);
    for (const label of buttons) {
      const b = document.createElement('button');
      b.textContent = label;
      b.addEventListener('click', () => {
        dialog.remove();
        resolve(label);
      });
      dialog.append(b);
    }
    $('boxes').append(dialog);
  });
}

const ui: TransferUi = {
  ask: async (text, title) => (await box(text, title, ['Yes', 'No'])) === 'Yes',
  message: async (text, title) => void (await box(text, title, ['OK'])),
  progress(caption) {
    $('caption').hidden = caption === null;
    $('caption').textContent = caption ?? '';
  },
  busy(cancel) {
    $('cancel').hidden = !cancel;
    $('cancel').onclick = cancel;
  },
};

const page = window as unknown as { record: Uint8Array; replaced: number; ready: boolean; logText(): string; heap(): number };
ZezUdi().then((core) => {
  page.record = new Uint8Array(12288);
  page.replaced = 0;
  const transfers = createTransfers(core, {
    ui,
    current: () => page.record,
    replace(cdf) {
      page.record = cdf;
      page.replaced += 1;
    },
    changed: () => false,
    fileName: () => 'test.CDF',
  });
  transfers.renderConnectMenu($('connect'));
  $('download').onclick = () => transfers.download();
  $('upload').onclick = () => transfers.upload();
  $('compare').onclick = () => transfers.compare();
  page.logText = transfers.logText;
  page.ready = true;
});
