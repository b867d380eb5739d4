// The module's download through the editor's own WebSerialPort and nothing else of the editor:
// bench/browser_transfer.mjs bundles this into a bare page beside the editor's, so that what the
// core and its port cost is told apart from what the editor's page adds.
import { WebSerialPort } from '../web/src/serial/WebSerialPort';

const core = globalThis.ZezUdi();
globalThis.coreDownload = async (bytes) => {
  const [serialPort] = await navigator.serial.getPorts();
  const port = new WebSerialPort(serialPort);
  const t0 = performance.now();
  const r = await (await core).download(new Uint8Array(bytes), port, 'bench');
  if (r.outcome !== 'complete') throw new Error(r.reason);
  return (performance.now() - t0) / 1000;
};
