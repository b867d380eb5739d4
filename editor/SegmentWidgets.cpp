#include "editor/SegmentWidgets.h"

#include <QApplication>
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
    if (!armed_) return;
    QPainter p(this);
    p.fillRect(rect(), QColor(0, 120, 215, 50));
    p.setPen(QPen(QColor(0, 90, 200), 2));
    p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

void PaletteItem::SetArmed(bool armed) {
    if (armed == armed_) return;
    armed_ = armed;
    update();
}

void PaletteItem::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressedAt_ = event->position().toPoint();
}

void PaletteItem::mouseMoveEvent(QMouseEvent* event) {
    if (!pressedAt_ || !(event->buttons() & Qt::LeftButton)) return;
    const QPoint hotSpot = *pressedAt_;
    if ((event->position().toPoint() - hotSpot).manhattanLength() <
        QApplication::startDragDistance())
        return;
    pressedAt_.reset();          // a drag, never a click
    auto* mime = new QMimeData;  // owned by the drag
    mime->setData(kSegmentMime, QByteArray::number(code_));
    auto* drag = new QDrag(this);  // owned by this widget (Qt parent) until Qt deletes it
    drag->setMimeData(mime);
    drag->setPixmap(CrispPixmap(picture_, devicePixelRatioF()));
    drag->setHotSpot(hotSpot);
    RunDrag(drag);
}

void PaletteItem::RunDrag(QDrag* drag) {
    drag->exec(Qt::CopyAction);
}

void PaletteItem::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressedAt_) return;
    pressedAt_.reset();
    // Released on the picture without a drag: a click, which arms the picture.
    if (rect().contains(event->position().toPoint())) emit ClickedWithoutDrop(code_);
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

void SegmentPicture::SetOpenEnds(bool up, bool down) {
    if (up == openUp_ && down == openDown_) return;
    openUp_ = up;
    openDown_ = down;
    update();
}

void SegmentPicture::SetMarks(bool selected, bool cursor, bool focused) {
    if (selected == selected_ && cursor == cursor_ && focused == focused_) return;
    selected_ = selected;
    cursor_ = cursor;
    focused_ = focused;
    update();
}

void SegmentPicture::paintEvent(QPaintEvent*) {
    DrawCrisp(this, shown_);
    if (finding_.isEmpty() && !selected_ && !cursor_ && !openUp_ && !openDown_) return;
    QPainter p(this);
    // A link that meets nothing ends in a short cross bar in the finding colour: it visibly does
    // not join the segment beside it.
    for (const auto& [open, y] : {std::pair{openUp_, 1}, std::pair{openDown_, 38}})
        if (open) p.fillRect(QRect(34, y, 6, 2), QColor(230, 120, 0));
    // A light tint for the selection: the black and red strokes stay as they are.
    if (selected_) p.fillRect(rect(), QColor(0, 120, 215, 45));
    // Frames along the edges, where no symbol is drawn: the picture stays readable.
    if (!finding_.isEmpty()) {
        p.setPen(QPen(QColor(230, 120, 0), 2));
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
    if (cursor_) {
        p.setPen(focused_ ? QPen(QColor(0, 90, 200), 2, Qt::DashLine)
                          : QPen(QColor(140, 140, 140), 1, Qt::DotLine));
        p.drawRect(QRectF(rect()).adjusted(4, 4, -4, -4));
    }
}

void SegmentPicture::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit Pressed(index_, event->modifiers());
}

void SegmentPicture::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) emit DraggedTo(event->globalPosition().toPoint());
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
