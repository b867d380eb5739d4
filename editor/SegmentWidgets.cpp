#include "editor/SegmentWidgets.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "editor/Palette.h"

namespace zez {
namespace {

constexpr QRgb kEnergisedRed = 0xFFFF0000;

// The picture enlarged by a whole factor for the screen's pixel ratio; Qt then maps it to the
// widget's logical size without resampling when the ratio is whole.
QPixmap CrispPixmap(const QImage& picture, qreal ratio) {
    const int factor = std::max(1, static_cast<int>(std::lround(ratio)));
    QPixmap pixmap = QPixmap::fromImage(
        picture.scaled(picture.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    pixmap.setDevicePixelRatio(factor);
    return pixmap;
}

void AcceptPalette(QDragEnterEvent* event) {
    if (DroppedCode(event->mimeData()) >= 0) event->acceptProposedAction();
}

// The code a drop brings, accepting the drop; -1 when it brings none.
int TakeDrop(QDropEvent* event) {
    const int code = DroppedCode(event->mimeData());
    if (code >= 0) event->acceptProposedAction();
    return code;
}

}  // namespace

int DroppedCode(const QMimeData* mime) {
    if (!mime || !mime->hasFormat(kSegmentMime)) return -1;
    bool ok = false;
    const int code = QString::fromLatin1(mime->data(kSegmentMime)).toInt(&ok);
    return ok && code >= 0 && code <= 15 ? code : -1;
}

void DrawCrisp(QWidget* widget, const QImage& picture) {
    QPainter p(widget);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawPixmap(widget->rect(), CrispPixmap(picture, widget->devicePixelRatioF()));
}

PaletteItem::PaletteItem(int code, QWidget* parent)
    : QWidget(parent), code_(code), picture_(PalettePicture(code)) {
    setCursor(Qt::OpenHandCursor);
}

void PaletteItem::paintEvent(QPaintEvent*) {
    DrawCrisp(this, picture_);
}

void PaletteItem::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    auto* mime = new QMimeData;  // owned by the drag
    mime->setData(kSegmentMime, QByteArray::number(code_));
    auto* drag = new QDrag(this);  // owned by this widget (Qt parent)
    drag->setMimeData(mime);
    drag->setPixmap(CrispPixmap(picture_, devicePixelRatioF()));
    drag->setHotSpot(event->position().toPoint());
    drag->exec(Qt::CopyAction);
}

SegmentPicture::SegmentPicture(int index, QWidget* parent) : QWidget(parent), index_(index) {
    setAcceptDrops(true);
    Render();
}

void SegmentPicture::SetCode(int code) {
    if (code == code_ && !energised_.any()) return;
    code_ = code;
    energised_ = {};
    Render();
}

void SegmentPicture::SetEnergised(const Energised& e) {
    energised_ = e;
    Render();
}

void SegmentPicture::Render() {
    shown_ = code_ >= 0 && code_ <= 15 ? PalettePicture(code_) : InvalidPicture();
    if (energised_.any()) {
        for (int y = 0; y < shown_.height(); ++y) {
            for (int x = 0; x < shown_.width(); ++x) {
                if (shown_.pixel(x, y) != 0xFF000000) continue;
                bool lit = false;
                switch (PartOfPixel(code_, x, y)) {
                    case PicturePart::Element:
                        lit = energised_.element;
                        break;
                    case PicturePart::Junction:
                        lit = energised_.junction;
                        break;
                    case PicturePart::Up:
                        lit = energised_.up;
                        break;
                    case PicturePart::Down:
                        lit = energised_.down;
                        break;
                }
                if (lit) shown_.setPixel(x, y, kEnergisedRed);
            }
        }
    }
    update();
}

void SegmentPicture::SetFinding(const QString& reason) {
    if (reason == finding_) return;
    finding_ = reason;
    setToolTip(reason);
    update();
}

void SegmentPicture::paintEvent(QPaintEvent*) {
    DrawCrisp(this, shown_);
    if (finding_.isEmpty()) return;
    // Along the edge, where no symbol is drawn: the picture stays readable.
    QPainter p(this);
    p.setPen(QPen(QColor(230, 120, 0), 2));
    p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

void SegmentPicture::dragEnterEvent(QDragEnterEvent* event) {
    AcceptPalette(event);
}

void SegmentPicture::dropEvent(QDropEvent* event) {
    if (const int code = TakeDrop(event); code >= 0) emit Dropped(index_, code);
}

SegmentLabel::SegmentLabel(int index, QWidget* parent) : QLabel(parent), index_(index) {
    setAcceptDrops(true);
    setCursor(Qt::PointingHandCursor);
}

void SegmentLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Clicked(index_);
}

void SegmentLabel::dragEnterEvent(QDragEnterEvent* event) {
    AcceptPalette(event);
}

void SegmentLabel::dropEvent(QDropEvent* event) {
    if (const int code = TakeDrop(event); code >= 0) emit Dropped(index_, code);
}

}  // namespace zez
