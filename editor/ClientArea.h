#pragma once
// The fixed client area below the menu bar: the palette, the 16 x 16 segment pictures and their
// labels, the output list, the input list and its timer, the Test frame, the rails, the compile
// progress bar and the transfer caption, each at its place.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QWidget>
#include <array>

#include "config/Config.h"
#include "editor/SegmentWidgets.h"

namespace zez {

inline constexpr int kClientWidth = 881;
inline constexpr int kClientHeight = 689;
inline constexpr int kStatusHeight = 22;  // the status bar below the client area

// linIO(k): a one-pixel line, drawn above the segment pictures it runs along.
class RailLine : public QWidget {
  public:
    RailLine(QWidget* parent, QRect line);
    void SetLit(bool lit);
    bool lit() const { return lit_; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    bool lit_ = false;
};

// Holds the client area: the whole of it where the screen has room, scrolled where it has not
// (a laptop at 150 %), everything in it where it always is.
class ClientScroll : public QScrollArea {
  public:
    ClientScroll(QWidget* client, QWidget* parent);
    QSize sizeHint() const override;
};

// Takes the keyboard for the grid: it lies under the segment pictures, is in the Tab order, and
// passes on the keys it is given and when it gains or loses the focus.
class GridFocus : public QWidget {
    Q_OBJECT
  public:
    explicit GridFocus(QWidget* parent);

  signals:
    void KeyPressed(int key, Qt::KeyboardModifiers modifiers, bool* used);
    void FocusChanged(bool focused);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

class ClientArea : public QWidget {
    Q_OBJECT
  public:
    explicit ClientArea(QWidget* parent);

    // The inputs and pilots ticked in the Test frame.
    int32_t TickedInputs() const;
    // The input list over segment `index`'s label with `sel` chosen (none when it names no
    // signal), closed by itself after 5 seconds.
    void OpenInputList(int index, int sel);
    void CloseInputList();
    // A transfer's caption at the top right, painted at once; empty: hidden.
    void ShowCaption(const QString& caption);
    // The compile's progress bar shown at `step` of 256, painted at once.
    void ShowProgress(int step);
    bool listArming = false;  // while OpenInputList presets the list: no choice made

    GridFocus* grid = nullptr;
    std::array<PaletteItem*, 16> imgSelect{};
    std::array<SegmentPicture*, kSegments> imgSegment{};
    std::array<SegmentLabel*, kSegments> lblSeg{};
    QComboBox* cboOutput = nullptr;
    QComboBox* cboSelect = nullptr;
    QTimer* tmrCloseCBO = nullptr;
    QGroupBox* Frame1 = nullptr;
    std::array<QCheckBox*, 16> chkIn{};
    QPushButton* cmdTest = nullptr;
    std::array<RailLine*, 3> linIO{};
    QProgressBar* prgCompile = nullptr;
    QLabel* lblComPrg = nullptr;

  signals:
    // A drag over the grid that started on a segment reached segment `index`.
    void DraggedTo(int index);
    // Enter in the Test frame.
    void TestRequested();
};

}  // namespace zez
