#pragma once

#include <QWidget>
#include <functional>

#include "editor/Dialogs.h"

namespace zez {

// QMessageBox and QFileDialog, modal over `parent`.
class QtDialogs final : public Dialogs {
  public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }
    // What F1 in a message box does with the box's text (the guide's troubleshooting place).
    void SetHelp(std::function<void(const QString& text)> help) { help_ = std::move(help); }
    Answer Message(const QString& text, const QString& title, Buttons buttons, Icon icon) override;
    QString OpenFileName(const FileDialogRequest& request) override;
    QString SaveFileName(const FileDialogRequest& request) override;
    bool Print(QPrinter& printer, bool preview,
               const std::function<void(QPrinter*)>& paint) override;
    QString AskText(const QString& prompt, const QString& title, const QString& initial) override;
    int Choose(const QString& prompt, const QString& title, const QStringList& items) override;
    std::optional<OutputSegments> AskDrawing(const QString& title, const QString& initial,
                                             const Drawer& draw) override;

  private:
    QString RunFileDialog(const FileDialogRequest& request, bool save);
    QWidget* parent_;
    std::function<void(const QString&)> help_;
};

}  // namespace zez
