#pragma once
// Editing the shown output beyond the drops: the cursor, the selection, the armed palette
// picture (click-to-stamp), the clipboard, the row commands and the editing keys. Every change
// goes through Document::Edit, one undo step each.

#include <QObject>
#include <QString>
#include <functional>

#include "config/SegmentEdits.h"
#include "editor/Dialogs.h"
#include "editor/Document.h"

namespace zez {

class GridEditor : public QObject {
    Q_OBJECT
  public:
    GridEditor(Document& doc, Dialogs& dialogs, QObject* parent = nullptr);

    // The project's clipboard format.
    static const QString kClipMime;

    int cursor() const { return cursor_; }
    bool cursorShown() const { return cursorShown_; }
    bool hasSelection() const { return hasSelection_; }
    SegRect selection() const { return selection_; }
    int armed() const { return armed_; }
    bool canPaste() const;

    // A palette picture dropped on segment `index` (or stamped there when armed).
    void Drop(int index, int code);
    // The input list chose `sel` for segment `index`.
    void ChooseInput(int index, int sel);
    // A click on a contact's label: stamps when a picture is armed, else opens the list.
    void LabelClicked(int index);
    void Press(int index, bool extend);
    void SelectTo(int index);  // a drag over the grid reached `index`
    void SelectAll();
    void ClearSelection();
    void Copy();
    void Cut();
    void Paste();
    void Delete();
    void InsertRow();
    void DeleteRow();
    // Tools > Draw From Formula...: the shown output redrawn from a formula the user types,
    // starting from its own expression; one step to undo.
    void DrawFromFormula();
    // Tools > Rewire Signals...: contacts of every output moved to other signals, as typed
    // ("I3=P5, I1<>I2"); one step to undo.
    void RewireSignals();
    // Tools > Find Signal...: asks for a signal (I1..I8, P1..P8), then goes to its next contact.
    void FindSignal();
    // Tools > Find Next: the cursor to the next contact on that signal after it, through the
    // outputs in turn and round; the status bar says which of how many it is.
    void FindNext();
    // The Logic window's "Redraw minimal": output `output` replaced by `drawing`, one step.
    void Redraw(int output, const OutputSegments& drawing);
    void Arm(int code);  // a palette picture clicked without a drag; again disarms
    // No cursor shown and nothing selected (another record or output); the armed picture stays.
    void Reset();
    // An editing key without Ctrl or Alt; false when it is not one. Until the cursor is shown a
    // key only shows it: nothing is edited where the user cannot see.
    bool Key(int key, bool shift);

  signals:
    // Cursor, selection, arming or what can be pasted changed.
    void MarksChanged();
    // The input list is to open over segment `index`.
    void OpenInputList(int index);
    // What an edit did, for the status bar.
    void Said(const QString& message);

  private:
    void Put(int output, const OutputSegments& drawing, const QString& what);
    // The selection, or the cursor's segment when nothing is selected.
    SegRect Target() const;
    // One undo step over the target's segments.
    void EditTarget(const QString& what, const std::function<void(int16_t& type, int16_t& sel)>& f);
    void MoveCursor(int dRow, int dCol, bool extend);
    // The cursor to `index`, or the selection extended to it.
    void Select(int index, bool extend);

    Document& doc_;
    Dialogs& dialogs_;
    int cursor_ = 0;
    int anchor_ = 0;
    bool cursorShown_ = false;  // only once the user has clicked or moved it
    bool hasSelection_ = false;
    SegRect selection_;
    int armed_ = -1;          // the palette code click-to-stamp places, or -1
    char pendingSignal_ = 0;  // 'I' or 'P' typed, waiting for its digit
    int sought_ = -1;         // the signal Find Next goes to
};

}  // namespace zez
