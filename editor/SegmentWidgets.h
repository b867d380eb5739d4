#pragma once
// The palette pictures that are dragged, and the segment pictures and labels they are dropped on.

#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QWidget>

class QDrag;
#include <array>
#include <optional>

#include "editor/TestRun.h"

namespace zez {

// What a palette drag carries: the segment type code as text.
inline const QString kSegmentMime = QStringLiteral("application/x-zezudi-segment-code");

// Draws a 40 x 40 picture at whole-pixel scale, without smoothing.
void DrawCrisp(QWidget* widget, const QImage& picture);

// imgSelect(k): pressed and moved by the system's start-drag distance, it drags its code; pressed
// and released without that, it is a click (which arms it for click-to-stamp).
class PaletteItem : public QWidget {
    Q_OBJECT
  public:
    PaletteItem(int code, QWidget* parent);
    int code() const { return code_; }
    // Armed for click-to-stamp: drawn highlighted.
    void SetArmed(bool armed);
    bool armed() const { return armed_; }

  signals:
    // Pressed and released on the picture itself without a drag.
    void ClickedWithoutDrop(int code);

  protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Carries the picture off with the system's drag until it is dropped or abandoned.
    virtual void RunDrag(QDrag* drag);

  private:
    int code_;
    QImage picture_;
    bool armed_ = false;
    std::optional<QPoint> pressedAt_;  // while the button is down and no drag has started
};

// imgSegment(s).
class SegmentPicture : public QWidget {
    Q_OBJECT
  public:
    SegmentPicture(int index, QWidget* parent);
    void SetCode(int code);
    void SetEnergised(const Energised& e);
    // A finding of the wiring checks: a frame round the picture and the reason as its tooltip;
    // an empty reason clears it.
    void SetFinding(const QString& reason);
    const QString& finding() const { return finding_; }
    // Links that meet no link of the segment above or below: drawn as open ends.
    void SetOpenEnds(bool up, bool down);
    bool openUp() const { return openUp_; }
    bool openDown() const { return openDown_; }
    // The editing cursor and the selection, drawn over the picture without hiding it.
    // The cursor is drawn solid while the grid has the keyboard focus, dotted and grey without.
    void SetMarks(bool selected, bool cursor, bool focused = true);
    bool selected() const { return selected_; }
    bool cursor() const { return cursor_; }
    bool focused() const { return focused_; }
    const QImage& shown() const { return shown_; }

  signals:
    void Dropped(int index, int code);
    void Pressed(int index, Qt::KeyboardModifiers modifiers);
    // The pointer moved with the button held after a press here (screen position).
    void DraggedTo(QPoint global);

  protected:
    void paintEvent(QPaintEvent*) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    void Render();
    int index_;
    bool selected_ = false;
    bool cursor_ = false;
    bool focused_ = true;
    bool openUp_ = false, openDown_ = false;
    int code_ = 0;
    Energised energised_;
    QString finding_;
    QImage shown_;
};

// lblSeg(s): the input label of a contact; clicking it opens the selection list.
class SegmentLabel : public QLabel {
    Q_OBJECT
  public:
    SegmentLabel(int index, QWidget* parent);

  signals:
    void Dropped(int index, int code);
    void Clicked(int index);

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    int index_;
};

// The code a drop carries, or -1 when it is not a palette picture.
int DroppedCode(const QMimeData* mime);

}  // namespace zez
