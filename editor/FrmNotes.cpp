#include "editor/FrmNotes.h"

#include "editor/Fonts.h"
#include "editor/HelpWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalBlocker>

#include "config/NoteText.h"

namespace zez {
namespace {

QString ToQt(const std::u32string& text) {
    return QString::fromStdU32String(text);
}

}  // namespace

FrmNotes::FrmNotes(NoteBytes& note, bool& changed, std::function<void()> notCompiled,
                   Dialogs& dialogs, QWidget* parent)
    : QDialog(parent),
      note_(note),
      changed_(changed),
      notCompiled_(std::move(notCompiled)),
      dialogs_(dialogs) {
    setWindowTitle(QStringLiteral("Notes"));
    setProperty(kHelpTopic, QStringLiteral("files.md#The note"));
    setModal(true);
    setFixedSize(721, 489);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(224, 224, 224));
    setPalette(grey);
    setAutoFillBackground(true);

    txtNotes_ = new QPlainTextEdit(this);
    txtNotes_->setGeometry(16, 8, 689, 433);
    txtNotes_->setFont(ClassicSans(12));
    txtNotes_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    connect(txtNotes_, &QPlainTextEdit::textChanged, this, [this] { txtNotes_Change(); });

    lblUnusedChars_ = new QLabel(this);
    lblUnusedChars_->setGeometry(16, 448, 241, 17);
    Centre();
}

void FrmNotes::Centre() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const QSize outer = frameGeometry().size();
        move(area.x() + (area.width() - outer.width()) / 2,
             area.y() + (area.height() - outer.height()) / 2);
    }
}

void FrmNotes::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!loaded_) {
        loaded_ = true;
        Form_Activate();
    }
}

void FrmNotes::Form_Activate() {
    const bool wasChanged = changed_;
    edit_ = NoteEdit(note_);
    const QString text = ToQt(edit_.Text());
    // Setting a non-empty text is a change like any other (a note too long for the window is
    // cut back here); only the unsaved-changes flag is put back. A note shown as it is stored
    // keeps its bytes.
    if (!text.isEmpty()) txtNotes_->setPlainText(text);
    changed_ = wasChanged;
    ShowRem();
}

void FrmNotes::txtNotes_Change() {
    const std::u32string typed = txtNotes_->toPlainText().toStdU32String();
    bool rewrite = edit_.Update(typed);
    const bool tooLong = edit_.Cut(kNoteLimit);
    rewrite = rewrite || tooLong;
    // What the window shows is what is stored: characters the set cannot hold become '?'.
    if (edit_.Text() != typed) {
        QTextCursor cursor = txtNotes_->textCursor();
        const int at = cursor.position();
        {
            const QSignalBlocker block(txtNotes_);
            txtNotes_->setPlainText(ToQt(edit_.Text()));
        }
        cursor = txtNotes_->textCursor();
        cursor.setPosition(
            std::min(at, static_cast<int>(txtNotes_->document()->characterCount() - 1)));
        txtNotes_->setTextCursor(cursor);
    }
    if (rewrite) note_ = edit_.Bytes();
    ShowRem();
    changed_ = true;
    if (notCompiled_) notCompiled_();
    if (tooLong)
        dialogs_.Message(QStringLiteral("Out Of Note Space"), QStringLiteral("Error"), Buttons::Ok,
                         Icon::Critical);
}

void FrmNotes::ShowRem() {
    lblUnusedChars_->setText(
        QStringLiteral("%1 Of 4000 Characters Used").arg(std::min(edit_.Length(), kNoteLimit)));
}

}  // namespace zez
