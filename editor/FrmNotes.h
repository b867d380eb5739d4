#pragma once
// frmNotes: the configuration's note, edited within its 4000 characters. Every change goes
// straight into the record.

#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <functional>

#include "config/Config.h"
#include "config/NoteText.h"
#include "editor/Dialogs.h"

namespace zez {

class FrmNotes : public QDialog {
    Q_OBJECT
  public:
    // `changed` is the configuration's unsaved-changes flag; `notCompiled` returns the main
    // window's menus to the not-compiled state.
    FrmNotes(NoteBytes& note, bool& changed, std::function<void()> notCompiled, Dialogs& dialogs,
             QWidget* parent = nullptr);

    QPlainTextEdit* txtNotes() const { return txtNotes_; }
    QLabel* lblUnusedChars() const { return lblUnusedChars_; }

    void Form_Activate();
    void txtNotes_Change();
    void ShowRem();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void Centre();

    NoteBytes& note_;
    bool& changed_;
    std::function<void()> notCompiled_;
    Dialogs& dialogs_;
    QPlainTextEdit* txtNotes_;
    QLabel* lblUnusedChars_;
    NoteEdit edit_{NoteBytes{}};  // what the window shows, with the bytes that store it
    bool loaded_ = false;
};

}  // namespace zez
