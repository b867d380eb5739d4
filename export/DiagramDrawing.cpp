#include "export/DiagramDrawing.h"

#include "export/LocalPath.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QTextOption>

#include "config/NoteText.h"
#include "logic/Expression.h"
#include "system/ReplaceFile.h"

namespace zez {
namespace {

const QColor kInk(0, 0, 0);
const QColor kDots(160, 160, 160);

// One segment's symbol in its 40 x 40 cell, following the palette pictures' strokes (which are
// two pixels wide, so each stroke runs along the middle of its two pixel rows or columns).
void DrawSegment(QPainter& p, double x, double y, int code, int sel) {
    auto line = [&](double x0, double y0, double x1, double y1) {
        p.drawLine(QPointF(x + x0, y + y0), QPointF(x + x1, y + y1));
    };
    if (!IsValidCode(code)) {
        // A stored value that is no segment: a cross in a frame, as on the screen.
        QPen pen(QColor(192, 0, 0), 1);
        p.setPen(pen);
        p.drawRect(QRectF(x + 2.5, y + 2.5, 35, 35));
        line(2.5, 2.5, 37.5, 37.5);
        line(37.5, 2.5, 2.5, 37.5);
        p.setPen(QPen(kInk, 2, Qt::SolidLine, Qt::FlatCap));
        return;
    }
    switch (ElementOf(code)) {
        case Element::None:
            break;
        case Element::Wire:
            line(0, 28, 40, 28);
            break;
        case Element::NormallyClosed:
            line(21.5, 21, 15, 35);
            [[fallthrough]];
        case Element::NormallyOpen:
            line(0, 28, 14, 28);
            line(23, 28, 40, 28);
            line(13, 20, 13, 36);
            line(24, 20, 24, 36);
            break;
    }
    if (code & kLinkUp) line(39, 0, 39, 29);
    if (code & kLinkDown) line(39, 27, 39, 40);
    if (IsContact(code)) {
        QFont f = p.font();
        f.setBold(true);
        f.setPixelSize(11);
        const QFont old = p.font();
        p.setFont(f);
        // A wide space, so that text taken from a PDF keeps "I 3" apart as drawn.
        f.setWordSpacing(3);
        p.setFont(f);
        p.drawText(QRectF(x + 4, y + 3, 32, 15), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromStdString(InputLabel(sel)));
        p.setFont(old);
    }
}

// A font size in the painter's units (points on a page), whatever the resolution of the device:
// a point size alone is taken at the device's resolution and would be scaled twice on a printer
// whose painter is scaled to points.
void SetPoints(QFont& f, const QPainter& p, double points) {
    const int dpi = p.device() ? p.device()->logicalDpiY() : 72;
    f.setPointSizeF(points * 72.0 / (dpi > 0 ? dpi : 72));
}

QString PageTitle(int output) {
    return QStringLiteral("LC Input %1").arg(output + 1);
}

QString NoteString(const NoteBytes& note) {
    return QString::fromStdU32String(NoteEdit(note).Text());
}

std::vector<int> OutputsToPrint(const Config& config) {
    std::vector<int> outputs;
    for (int o = 0; o < kOutputs; ++o)
        if (OutputHasDiagram(config, o)) outputs.push_back(o);
    return outputs;
}

void Footer(QPainter& p, const QRectF& page, const PrintRequest& r, int number, int pages) {
    QFont f = p.font();
    SetPoints(f, p, 8);
    f.setBold(false);
    p.setFont(f);
    const QRectF band(page.left(), page.bottom() - 14, page.width(), 14);
    p.drawLine(QPointF(band.left(), band.top() - 2), QPointF(band.right(), band.top() - 2));
    p.drawText(band, Qt::AlignLeft | Qt::AlignVCenter, r.fileName);
    p.drawText(band, Qt::AlignHCenter | Qt::AlignVCenter,
               QStringLiteral("Page %1 of %2").arg(number).arg(pages));
    p.drawText(band, Qt::AlignRight | Qt::AlignVCenter, r.date);
}

// The title and returns the space left below it.
QRectF Title(QPainter& p, const QRectF& page, const QString& title) {
    QFont f = p.font();
    SetPoints(f, p, 16);
    f.setBold(true);
    p.setFont(f);
    const QRectF band(page.left(), page.top(), page.width(), 26);
    p.drawText(band, Qt::AlignLeft | Qt::AlignVCenter, title);
    return QRectF(page.left(), band.bottom() + 8, page.width(), page.height() - band.height() - 8);
}

// The note in the largest size up to 11 points at which every line fits the space.
void NoteBody(QPainter& p, const QRectF& area, const QString& text) {
    QFont f = p.font();
    f.setBold(false);
    QTextOption wrap;
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    for (double size = 11; size >= 1; size -= 0.5) {
        SetPoints(f, p, size);
        p.setFont(f);
        const QRectF need = p.boundingRect(area, text, wrap);
        if (need.height() <= area.height() || size <= 1) break;
    }
    p.drawText(area, text, wrap);
}

Result<void> WriteBytes(const QString& path, const QByteArray& data) {
    const auto* b = reinterpret_cast<const uint8_t*>(data.constData());
    return ReplaceFile(LocalPath(path),
                       std::span<const uint8_t>(b, static_cast<std::size_t>(data.size())), {},
                       "Cannot write");
}

}  // namespace

void DrawDiagram(QPainter& p, const QRectF& area, const Config& config, int output) {
    const double scale = std::min(area.width() / kDrawWidth, area.height() / kDrawHeight);
    p.save();
    p.translate(area.topLeft());
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing, true);
    // Corner dots of the grid, as on the screen.
    p.setPen(QPen(kDots, 1.2, Qt::SolidLine, Qt::RoundCap));
    for (int r = 0; r <= 16; ++r)
        for (int c = 0; c <= 16; ++c) p.drawPoint(QPointF(1 + 40.0 * c, 40.0 * r));
    p.setPen(QPen(kInk, 2, Qt::SolidLine, Qt::FlatCap));
    // Supply rail left, output rail right.
    p.drawLine(QPointF(1, 0), QPointF(1, kDrawHeight));
    p.drawLine(QPointF(kDrawWidth - 1, 0), QPointF(kDrawWidth - 1, kDrawHeight));
    for (int s = 0; s < kSegments; ++s)
        DrawSegment(p, 1 + 40.0 * SegColumn(s), 40.0 * SegRow(s), config.SegType[output][s],
                    config.SegInput[output][s]);
    p.restore();
}

int PagesToPrint(const PrintRequest& r) {
    const int notes = NoteString(r.config.NoteData).isEmpty() ? 0 : 1;
    return std::max(1, static_cast<int>(OutputsToPrint(r.config).size()) + notes);
}

void PrintPages(QPainter& p, const QRectF& page, const PrintRequest& r,
                const std::function<void()>& newPage, const std::function<bool(int)>& wanted) {
    const int pages = PagesToPrint(r);
    const QRectF body(page.left(), page.top(), page.width(), page.height() - 22);
    int number = 0;
    bool drawn = false;
    // The next page's number; whether it is drawn (then on a page of its own).
    auto next = [&] {
        ++number;
        if (wanted && !wanted(number)) return false;
        if (drawn) newPage();
        drawn = true;
        return true;
    };
    for (int o : OutputsToPrint(r.config)) {
        if (!next()) continue;
        const QRectF below = Title(p, body, PageTitle(o));
        const double side = std::min(below.width(), below.height() - 90);
        const QRectF diagram(below.left(), below.top(), side, side * kDrawHeight / kDrawWidth);
        DrawDiagram(p, diagram, r.config, o);
        QFont f = p.font();
        SetPoints(f, p, 10);
        f.setBold(false);
        p.setFont(f);
        const QRectF exprArea(below.left(), diagram.bottom() + 12, below.width(),
                              below.bottom() - diagram.bottom() - 12);
        QTextOption wrap;
        wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        p.drawText(exprArea,
                   QStringLiteral("Output: ") +
                       QString::fromStdString(FormatExpression(ExpressOutput(r.config, o))),
                   wrap);
        Footer(p, page, r, number, pages);
    }
    const QString note = NoteString(r.config.NoteData);
    if (!note.isEmpty() && next()) {
        NoteBody(p, Title(p, body, QStringLiteral("Note")), note);
        Footer(p, page, r, number, pages);
    }
    if (number == 0 && next()) {
        Title(p, body, QStringLiteral("No diagram and no note"));
        Footer(p, page, r, number, pages);
    }
}

Result<int> ExportPdf(const PrintRequest& r, const QString& path, QPageSize::PageSizeId size) {
    // Drawn in memory, then written like every file of the program: whole or not at all.
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&bytes);
    pdf.setPageSize(QPageSize(size));
    pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    pdf.setResolution(72);  // one unit is a point
    pdf.setTitle(QFileInfo(r.fileName).fileName());
    pdf.setCreator(QStringLiteral("ZezUdi"));
    QPainter p;
    if (!p.begin(&pdf))
        return Error{"Cannot write \"" + path.toStdString() + "\": the PDF cannot be created."};
    const QRectF page(QPointF(0, 0), pdf.pageLayout().paintRect(QPageLayout::Point).size());
    PrintPages(p, page, r, [&] { pdf.newPage(); });
    p.end();
    if (auto w = WriteBytes(path, bytes.data()); !w) return w.failure();
    return PagesToPrint(r);
}

Result<void> ExportSvg(const PrintRequest& r, int output, const QString& path) {
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&bytes);
    const QSize size(static_cast<int>(kDrawWidth) + 40, static_cast<int>(kDrawHeight) + 80);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(PageTitle(output));
    svg.setDescription(QStringLiteral("%1, %2").arg(r.fileName, r.date));
    QPainter p;
    if (!p.begin(&svg))
        return Error{"Cannot write \"" + path.toStdString() + "\": the SVG cannot be created."};
    p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    QFont f = p.font();
    f.setPixelSize(22);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(20, 10, kDrawWidth, 40), Qt::AlignLeft | Qt::AlignVCenter, PageTitle(output));
    DrawDiagram(p, QRectF(20, 60, kDrawWidth, kDrawHeight), r.config, output);
    p.end();
    return WriteBytes(path, bytes.data());
}

}  // namespace zez
