#include "editor/PrintFlow.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPainter>
#include <QPrinter>

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
        QPainter p;
        if (!p.begin(target)) return;
        // Drawn in points, whatever the printer's resolution.
        const double dots = target->resolution() / 72.0;
        p.scale(dots, dots);
        const QRectF page(QPointF(0, 0), target->pageLayout().paintRect(QPageLayout::Point).size());
        PrintPages(p, page, request, [&] { target->newPage(); });
    });
}

void PrintFlow::ExportPdf() {
    QString initial =
        doc_.hasFile() ? doc_.fileName() : QDir::homePath() + QStringLiteral("/*.pdf");
    if (initial.endsWith(QStringLiteral(".CDF"), Qt::CaseInsensitive))
        initial = initial.left(initial.size() - 4) + QStringLiteral(".pdf");
    const QString name =
        dialogs_.SaveFileName({QStringLiteral("PDF Files (*.pdf)|*.pdf"), initial, false});
    if (name.isEmpty()) return;
    const auto pages = zez::ExportPdf(Now(), name, QPageSize::A4);
    if (!pages) {
        dialogs_.Message(QString::fromStdString(pages.error()), QStringLiteral("Export PDF"),
                         Buttons::Ok, Icon::Critical);
        return;
    }
    dialogs_.Message(QStringLiteral("%1 page(s) written to %2.").arg(pages.value()).arg(name),
                     QStringLiteral("Export PDF"), Buttons::Ok, Icon::Information);
}

}  // namespace zez
