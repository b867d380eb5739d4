#include "editor/GridEditor.h"

#include "config/Rewire.h"
#include "logic/Expression.h"
#include "logic/Layout.h"
#include "logic/SignalUse.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <algorithm>

namespace zez {

const QString GridEditor::kClipMime = QStringLiteral("application/x-zezudi-segments");

GridEditor::GridEditor(Document& doc, Dialogs& dialogs, QObject* parent)
    : QObject(parent), doc_(doc), dialogs_(dialogs) {
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            [this] { emit MarksChanged(); });
}

bool GridEditor::canPaste() const {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    return cursorShown_ && mime && mime->hasFormat(kClipMime);
}

void GridEditor::Drop(int index, int code) {
    const int output = doc_.output();
    doc_.Edit(output, QStringLiteral("Drop"),
              [&](Config& c) { c.SegType[output][index] = static_cast<int16_t>(code); });
}

void GridEditor::ChooseInput(int index, int sel) {
    const int output = doc_.output();
    doc_.Edit(output, QStringLiteral("Choose Input"),
              [&](Config& c) { c.SegInput[output][index] = static_cast<int16_t>(sel); });
}

void GridEditor::LabelClicked(int index) {
    // With a palette picture armed, a click on the label places it like a drop on the label.
    if (armed_ >= 0) return Drop(index, armed_);
    emit OpenInputList(index);
}

SegRect GridEditor::Target() const {
    return hasSelection_ ? selection_ : SegRect::Spanning(cursor_, cursor_);
}

void GridEditor::EditTarget(const QString& what, const std::function<void(int16_t&, int16_t&)>& f) {
    const int output = doc_.output();
    const SegRect r = Target();
    doc_.Edit(output, what, [&](Config& c) {
        for (int s = 0; s < kSegments; ++s)
            if (r.Contains(s)) f(c.SegType[output][s], c.SegInput[output][s]);
    });
}

void GridEditor::Press(int index, bool extend) {
    if (armed_ >= 0) return Drop(index, armed_);  // click-to-stamp: as if dropped here
    Select(index, extend);
}

void GridEditor::Select(int index, bool extend) {
    if (extend && cursorShown_) {
        selection_ = SegRect::Spanning(anchor_, index);
    } else {
        cursor_ = anchor_ = index;
        selection_ = SegRect::Spanning(index, index);
    }
    cursorShown_ = true;
    hasSelection_ = true;
    emit MarksChanged();
}

void GridEditor::SelectTo(int index) {
    if (armed_ >= 0 || !cursorShown_) return;
    selection_ = SegRect::Spanning(anchor_, index);
    hasSelection_ = true;
    emit MarksChanged();
}

void GridEditor::SelectAll() {
    cursorShown_ = true;
    hasSelection_ = true;
    selection_ = SegRect::Whole();
    emit MarksChanged();
}

void GridEditor::ClearSelection() {
    hasSelection_ = false;
    armed_ = -1;
    pendingSignal_ = 0;
    emit MarksChanged();
}

void GridEditor::Copy() {
    if (!hasSelection_) return;
    const Clip clip = CopyRect(doc_.record(), doc_.output(), selection_);
    auto* mime = new QMimeData;  // owned by the clipboard
    mime->setData(kClipMime, QByteArray::fromStdString(ClipToText(clip)));
    mime->setText(QString::fromStdString(ClipToReadable(clip)));
    QGuiApplication::clipboard()->setMimeData(mime);
    emit MarksChanged();
}

void GridEditor::Cut() {
    if (!hasSelection_) return;
    Copy();
    const int output = doc_.output();
    doc_.Edit(output, QStringLiteral("Cut"), [&](Config& c) { BlankRect(c, output, selection_); });
}

void GridEditor::Delete() {
    if (!hasSelection_) return;
    const int output = doc_.output();
    doc_.Edit(output, QStringLiteral("Delete"),
              [&](Config& c) { BlankRect(c, output, selection_); });
}

void GridEditor::Paste() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime || !mime->hasFormat(kClipMime)) return;
    const auto clip = ClipFromText(mime->data(kClipMime).toStdString());
    if (!clip) {
        dialogs_.Message(QStringLiteral("The clipboard holds no segments this program can read."),
                         QStringLiteral("Paste"), Buttons::Ok, Icon::Warning);
        return;
    }
    const int output = doc_.output();
    Pasted pasted;
    doc_.Edit(output, QStringLiteral("Paste"),
              [&](Config& c) { pasted = PasteClip(c, output, cursor_, *clip); });
    if (pasted.invalid > 0)  // as opening such a file says
        dialogs_.Message(
            QStringLiteral(
                "%1 pasted segment(s) hold values outside 0 to 15.\r\nUntil they are "
                "replaced, a segment with an invalid type acts as an empty segment, and "
                "a contact with an invalid input selection acts as if its input were off.")
                .arg(pasted.invalid),
            QStringLiteral("Paste"), Buttons::Ok, Icon::Warning);
    // The pasted segments become the selection (clipped at the grid's edge).
    selection_ = pasted.rect;
    hasSelection_ = true;
    emit MarksChanged();
}

void GridEditor::InsertRow() {
    const int output = doc_.output(), row = SegRow(cursor_);
    Config trial = doc_.record();
    if (auto r = zez::InsertRow(trial, output, row); !r) {
        dialogs_.Message(QString::fromStdString(r.error()), QStringLiteral("Insert Row"),
                         Buttons::Ok, Icon::Warning);
        return;
    }
    doc_.Edit(output, QStringLiteral("Insert Row"),
              [&](Config& c) { (void)zez::InsertRow(c, output, row); });
}

void GridEditor::DeleteRow() {
    const int output = doc_.output(), row = SegRow(cursor_);
    doc_.Edit(output, QStringLiteral("Delete Row"),
              [&](Config& c) { zez::DeleteRow(c, output, row); });
}

void GridEditor::Reset() {
    cursor_ = anchor_ = 0;
    cursorShown_ = hasSelection_ = false;
    pendingSignal_ = 0;
    emit MarksChanged();
}

void GridEditor::Arm(int code) {
    armed_ = armed_ == code ? -1 : code;
    emit MarksChanged();
}

void GridEditor::MoveCursor(int dRow, int dCol, bool extend) {
    const int row = std::clamp(SegRow(cursor_) + dRow, 0, kSegmentRows - 1);
    const int col = std::clamp(SegColumn(cursor_) + dCol, 0, kSegmentColumns - 1);
    if (!cursorShown_) {
        cursorShown_ = true;  // the first key shows the cursor where it is
    } else {
        cursor_ = kSegmentColumns * row + col;
    }
    if (!extend) anchor_ = cursor_;
    selection_ = SegRect::Spanning(anchor_, cursor_);
    hasSelection_ = true;
    emit MarksChanged();
}

bool GridEditor::Key(int key, bool shift) {
    if (pendingSignal_) {
        const char which = pendingSignal_;
        pendingSignal_ = 0;
        if (key >= Qt::Key_1 && key <= Qt::Key_8) {
            const int sel = (key - Qt::Key_1) + (which == 'P' ? 8 : 0);
            EditTarget(QStringLiteral("Choose Input"), [sel](int16_t& t, int16_t& in) {
                if (IsContact(t)) in = static_cast<int16_t>(sel);
            });
            return true;
        }
    }
    const bool edits = key == Qt::Key_W || key == Qt::Key_C || key == Qt::Key_N ||
                       key == Qt::Key_U || key == Qt::Key_D || key == Qt::Key_I ||
                       key == Qt::Key_P || key == Qt::Key_Return || key == Qt::Key_Enter;
    if (edits && !cursorShown_) {
        cursorShown_ = true;
        emit MarksChanged();
        return true;
    }
    auto element = [this](Element e, const char* what) {
        EditTarget(QString::fromLatin1(what),
                   [e](int16_t& t, int16_t&) { t = static_cast<int16_t>(WithElement(t, e)); });
    };
    auto link = [this](int l, const char* what) {
        EditTarget(QString::fromLatin1(what),
                   [l](int16_t& t, int16_t&) { t = static_cast<int16_t>(WithLinkToggled(t, l)); });
    };
    switch (key) {
        case Qt::Key_Left:
            MoveCursor(0, -1, shift);
            return true;
        case Qt::Key_Right:
            MoveCursor(0, 1, shift);
            return true;
        case Qt::Key_Up:
            MoveCursor(-1, 0, shift);
            return true;
        case Qt::Key_Down:
            MoveCursor(1, 0, shift);
            return true;
        case Qt::Key_Escape:
            ClearSelection();
            return true;
        case Qt::Key_W:
            element(Element::Wire, "Wire");
            return true;
        case Qt::Key_C:
            element(Element::NormallyOpen, "Normally Open Contact");
            return true;
        case Qt::Key_N:
            element(Element::NormallyClosed, "Normally Closed Contact");
            return true;
        case Qt::Key_U:
            link(kLinkUp, "Up Link");
            return true;
        case Qt::Key_D:
            link(kLinkDown, "Down Link");
            return true;
        case Qt::Key_I:
        case Qt::Key_P:
            pendingSignal_ = key == Qt::Key_I ? 'I' : 'P';
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (IsContact(doc_.record().SegType[doc_.output()][cursor_])) LabelClicked(cursor_);
            return true;
        default:
            return false;
    }
}

void GridEditor::DrawFromFormula() {
    const int output = doc_.output();
    const auto shown = FormatExpression(ExpressOutput(doc_.record(), output));
    const auto drawing = dialogs_.AskDrawing(
        QStringLiteral("Draw LC Input %1 From Formula").arg(output + 1),
        QString::fromStdString(shown),
        [](const QString& formula) { return DrawFormula(formula.toStdString()); });
    if (drawing) Put(output, *drawing, QStringLiteral("Draw From Formula"));
}

void GridEditor::RewireSignals() {
    const QString title = QStringLiteral("Rewire Signals");
    QString moves;
    for (;;) {
        moves = dialogs_.AskText(
            QStringLiteral("Move the contacts of every output to other signals, as when a switch "
                           "was wired to another input.\nA=B moves the contacts on A to B, A<>B "
                           "swaps A and B; for example: I3=P5, I1<>I2"),
            title, moves);
        if (moves.isEmpty()) return;  // cancelled
        const auto map = ParseSignalMap(moves.toStdString());
        if (!map) {
            dialogs_.Message(QString::fromStdString(map.error()), title, Buttons::Ok,
                             Icon::Warning);
            continue;
        }
        Config rewired = doc_.record();
        int moved = 0;
        for (int n : RewireContacts(rewired, map.value())) moved += n;
        const QString said = QString::fromStdString(SignalMapText(map.value()));
        if (moved == 0) {  // nothing to do: the flags stay as they are
            emit Said(said + QStringLiteral(": no contact is on these signals; nothing changed"));
            return;
        }
        ClearSelection();
        doc_.EditOutputs(title, rewired);
        emit Said(QStringLiteral("%1: %2 contact(s) moved").arg(said).arg(moved));
        return;
    }
}

void GridEditor::FindSignal() {
    const QString title = QStringLiteral("Find Signal");
    for (;;) {
        const QString text = dialogs_.AskText(
            QStringLiteral("Go to the contacts on a signal (I1..I8, P1..P8):"), title,
            sought_ < 0 ? QString() : QString::fromStdString(SignalName(sought_)));
        if (text.isEmpty()) return;  // cancelled
        const std::string name =
            QString(text).remove(QLatin1Char(' ')).toStdString();  // "P 3" as labelled
        const int sel = SignalAt(name, 0);
        if (sel >= 0 && name.size() == 2) {
            sought_ = sel;
            return FindNext();
        }
        dialogs_.Message(
            QStringLiteral("\"%1\" is no signal: type I1 to I8 or P1 to P8.").arg(text), title,
            Buttons::Ok, Icon::Warning);
    }
}

void GridEditor::FindNext() {
    if (sought_ < 0) return FindSignal();
    const QString name = QString::fromStdString(SignalName(sought_));
    const auto contacts = ContactsOn(doc_.record(), sought_);
    if (contacts.empty()) return emit Said(name + QStringLiteral(": no contact on it"));
    // After the cursor; from the top of the shown output while no cursor is shown.
    const std::pair<int, int> here{doc_.output(), cursorShown_ ? cursor_ : -1};
    auto next = std::upper_bound(contacts.begin(), contacts.end(), here);
    if (next == contacts.end()) next = contacts.begin();
    const auto [output, seg] = *next;
    doc_.ShowOutput(output);
    Select(seg, false);  // never a stamp of the armed picture
    emit Said(QStringLiteral("%1: contact %2 of %3, LC Input %4, row %5, column %6")
                  .arg(name)
                  .arg(next - contacts.begin() + 1)
                  .arg(contacts.size())
                  .arg(output + 1)
                  .arg(SegRow(seg) + 1)
                  .arg(SegColumn(seg) + 1));
}

void GridEditor::Redraw(int output, const OutputSegments& drawing) {
    Put(output, drawing, QStringLiteral("Redraw Minimal"));
}

void GridEditor::Put(int output, const OutputSegments& drawing, const QString& what) {
    ClearSelection();
    doc_.Edit(output, what, [&](Config& c) {
        c.SegType[output] = drawing.types;
        c.SegInput[output] = drawing.inputs;
    });
}

}  // namespace zez
