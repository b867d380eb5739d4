#pragma once
// The status bar below the client area: the file Save writes (its full path as the tooltip), an
// unsaved-changes mark, whether the diagrams are compiled, the port, and a short message after
// a command. After New or Upload it says that Save will replace the file with what is shown.

#include <QLabel>
#include <QObject>
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
    void Refresh();

    QLabel* file() const { return file_; }
    QLabel* state() const { return state_; }
    QLabel* port() const { return port_; }
    QLabel* message() const { return message_; }

  private:
    Document& doc_;
    PortChoice& ports_;
    QLabel *file_, *state_, *port_, *message_;
};

}  // namespace zez
