#include "editor/PrintFlow.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPainter>
#include <QPrinter>
#include <vector>

#include "export/LocalPath.h"
#include "export/Report.h"
#include "system/CdfFile.h"
#include "system/ReplaceFile.h"

namespace zez {

PrintFlow::PrintFlow(Document& doc, Dialogs& dialogs, QObject* parent)
    : QObject(parent), doc_(doc), dialogs_(dialogs) {}

PrintRequest PrintFlow::Now() const {
    return {doc_.record(), doc_.fileName(),
            QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat)};
}

void PrintFlow::Print(bool preview) {
    const PrintRequest request = Now();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QFileInfo(doc_.fileName()).fileName());
    // The pages Export PDF writes, unless the user chooses otherwise in the dialog.
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    dialogs_.Print(printer, preview, [&](QPrinter* target) {
        // Printed to a file: never over a configuration, as Export PDF.
        if (target->outputFormat() == QPrinter::PdfFormat && !target->outputFileName().isEmpty() &&
            HoldsConfigurationSaid(target->outputFileName(), QStringLiteral("Print")))
            return;
        QPainter p;
        if (!p.begin(target)) return;
        // Drawn in points, whatever the printer's resolution.
        const double dots = target->resolution() / 72.0;
        p.scale(dots, dots);
        const QRectF page(QPointF(0, 0), target->pageLayout().paintRect(QPageLayout::Point).size());
        // The pages the dialog's range chose, all when it chose none.
        const QPageRanges ranges = target->pageRanges();
        const bool some = target->printRange() == QPrinter::PageRange && !ranges.isEmpty();
        PrintPages(
            p, page, request, [&] { target->newPage(); },
            [&](int n) { return !some || ranges.contains(n); });
    });
}

QString PrintFlow::InitialName(const QString& extension) const {
    QString initial =
        doc_.hasFile() ? doc_.fileName() : QDir::homePath() + QStringLiteral("/*") + extension;
    if (initial.endsWith(QStringLiteral(".CDF"), Qt::CaseInsensitive))
        initial = initial.left(initial.size() - 4) + extension;
    return initial;
}

bool PrintFlow::HoldsConfigurationSaid(const QString& name, const QString& title) {
    if (!HoldsConfiguration(LocalPath(name))) return false;
    dialogs_.Message(
        QStringLiteral("%1 holds a configuration; nothing was written. Choose another name.")
            .arg(name),
        title, Buttons::Ok, Icon::Critical);
    return true;
}

void PrintFlow::ExportPdf() {
    const QString name = dialogs_.SaveFileName(
        {QStringLiteral("PDF Files (*.pdf)|*.pdf"), InitialName(QStringLiteral(".pdf")), false});
    if (name.isEmpty() || HoldsConfigurationSaid(name, QStringLiteral("Export PDF"))) return;
    const auto pages = zez::ExportPdf(Now(), name, QPageSize::A4);
    if (!pages) {
        dialogs_.Message(QString::fromStdString(pages.error()), QStringLiteral("Export PDF"),
                         Buttons::Ok, Icon::Critical);
        return;
    }
    dialogs_.Message(QStringLiteral("%1 page(s) written to %2.").arg(pages.value()).arg(name),
                     QStringLiteral("Export PDF"), Buttons::Ok, Icon::Information);
}

void PrintFlow::ExportReport() {
    const QString title = QStringLiteral("Export Report");
    const QString name = dialogs_.SaveFileName({QStringLiteral("HTML Files (*.html)|*.html"),
                                                InitialName(QStringLiteral(".html")), false});
    if (name.isEmpty() || HoldsConfigurationSaid(name, title)) return;
    const QString file = doc_.hasFile() ? QFileInfo(doc_.fileName()).fileName()
                                        : QStringLiteral("a configuration not saved");
    const std::string html = ReportHtml(
        doc_.record(), {file.toStdString(), QStringLiteral("on %1 from %2")
                                                .arg(QDate::currentDate().toString(Qt::ISODate),
                                                     doc_.hasFile() ? doc_.fileName() : file)
                                                .toStdString()});
    const std::vector<uint8_t> bytes(html.begin(), html.end());
    if (auto w = ReplaceFile(LocalPath(name), bytes, {}, "Cannot write"); !w) {
        dialogs_.Message(QString::fromStdString(w.error()), title, Buttons::Ok, Icon::Critical);
        return;
    }
    dialogs_.Message(QStringLiteral("Report written to %1.").arg(name), title, Buttons::Ok,
                     Icon::Information);
}

}  // namespace zez
