#pragma once
// The status bar below the client area: the file Save writes (its full path as the tooltip), an
// unsaved-changes mark, whether the diagrams are compiled, the port, and a short message after
// a command. After New or Upload it says that Save will replace the file with what is shown.

#include <QLabel>
#include <QObject>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

#include "editor/Document.h"
#include "editor/PortChoice.h"

namespace zez {

class StatusPanel : public QObject {
    Q_OBJECT
  public:
    StatusPanel(QStatusBar* bar, Document& doc, PortChoice& ports);
    // A message that stays until the next one.
    void Say(const QString& message);
    // While a transfer runs: a bar with the port and the phase, and a Cancel button.
    void ShowTransfer(bool running);
    // A transfer's caption ("Block 16 of 2304", "Device Checksum", ...).
    void Progress(const QString& caption);
    void Refresh();

    QLabel* file() const { return file_; }
    QLabel* state() const { return state_; }
    QLabel* port() const { return port_; }
    QLabel* message() const { return message_; }
    QProgressBar* bar() const { return bar_; }
    QPushButton* cancel() const { return cancel_; }

  private:
    Document& doc_;
    PortChoice& ports_;
    QLabel *file_, *state_, *port_, *message_;
    QProgressBar* bar_;
    QPushButton* cancel_;
};

}  // namespace zez
