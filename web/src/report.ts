// File > Export Report: the commissioning report, one HTML page written by the core, saved to a
// file the user names (never over a configuration).
import type { ZezUdiModule } from '../../wasm/zezudi';
import type { Doc } from './doc';
import * as dialogs from './dialogs';
import type { FileFlow } from './files';
import { fill, kReportGenerated, kReportUnsaved, kReportWritten, kTitleExportReport } from './texts';

/** Today as the desktop's report dates it (YYYY-MM-DD, the local date). */
function today(): string {
  const d = new Date();
  return `${d.getFullYear()}-${String(d.getMonth() + 1).padStart(2, '0')}-${String(d.getDate()).padStart(2, '0')}`;
}

export async function exportReport(core: ZezUdiModule, doc: Doc, files: FileFlow): Promise<void> {
  const file = doc.hasFile ? doc.fileName : kReportUnsaved;
  const html = core.report(doc.cdf, file, fill(kReportGenerated, today(), file));
  const suggested = `${doc.hasFile ? doc.fileName.replace(/\.cdf$/i, '') : 'report'}.html`;
  const written = await files.saveText(html, suggested, kTitleExportReport,
    { description: 'HTML', mime: 'text/html', ext: '.html' });
  if (written !== null) await dialogs.message(fill(kReportWritten, written), kTitleExportReport, 'information');
}
