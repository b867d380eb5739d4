#pragma once
// The diagrams as vector drawings, for paper, PDF and SVG: the same symbols as the palette
// pictures (wires, contacts, links), the supply rail on the left and the output rail on the
// right, each contact's input above it. One routine draws for every device.

#include <QPageSize>
#include <QPainter>
#include <QString>
#include <functional>

#include "config/Config.h"
#include "config/Result.h"

namespace zez {

// The drawing's own units: a segment is 40 x 40, as on the screen.
inline constexpr double kDrawSegment = 40;
inline constexpr double kDrawWidth = 16 * kDrawSegment + 2;  // rails included
inline constexpr double kDrawHeight = 16 * kDrawSegment;

// Draws `output`'s diagram scaled into `area` (kept square, top-left aligned).
void DrawDiagram(QPainter& p, const QRectF& area, const Config& config, int output);

struct PrintRequest {
    Config config;
    QString fileName;  // shown in the footer
    QString date;      // shown in the footer
};

// The pages of a configuration: one per output with a diagram (title "LC Input N", the diagram,
// its expression), then the note when there is one. Returns the number of pages; `newPage` is
// called between pages. With `wanted`, only the pages it takes (numbered from 1, as their
// footers say) are drawn, as when a print dialog chose a range.
int PagesToPrint(const PrintRequest& request);
void PrintPages(QPainter& p, const QRectF& page, const PrintRequest& request,
                const std::function<void()>& newPage, const std::function<bool(int)>& wanted = {});

// Vector files. Errors name the file and the reason.
Result<int> ExportPdf(const PrintRequest& request, const QString& path, QPageSize::PageSizeId size);
Result<void> ExportSvg(const PrintRequest& request, int output, const QString& path);

}  // namespace zez
