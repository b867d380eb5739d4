// Placeholder of the transfer flows (Download, Upload, Compare with Device over Web Serial): the
// menus call these; the transfer flows replace this file with the real ones.
import type { ZezUdiModule } from '../../../wasm/zezudi';

export interface TransferUi {
  /** A Yes/No question box with the desktop's texts; resolves true for Yes. */
  ask(text: string, title: string): Promise<boolean>;
  /** A message box; icon as the desktop's. */
  message(text: string, title: string, icon: 'information' | 'warning' | 'critical'): Promise<void>;
  /** The transfer caption (the desktop's lblComPrg text); null hides it. */
  progress(caption: string | null): void;
  /** Shows the status bar's Cancel while a transfer runs (null hides it). */
  busy(cancel: (() => void) | null): void;
}

export interface TransferHost {
  ui: TransferUi;
  /** The record's CDF bytes as they are now. */
  current(): Uint8Array;
  /** Replaces the record with an uploaded one (the editor marks it as the desktop does). */
  replace(cdf: Uint8Array): void;
}

const kUnavailable = 'Transfers are not available in this build.';

export function createTransfers(_core: ZezUdiModule, host: TransferHost) {
  const say = () => host.ui.message(kUnavailable, 'Connect', 'information');
  return {
    renderConnectMenu(_menu: HTMLElement): void {},
    download: say,
    upload: say,
    compare: say,
    logText: (): string => '',
    serialAvailable: false,
  };
}
