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

// A line that shows as much of its text as fits, cut after a whole word with an ellipsis, with
// the whole text as its tooltip when it is cut.
class WordElidedLabel final : public QLabel {
  public:
    using QLabel::QLabel;
    void SetFullText(const QString& text);
    const QString& fullText() const { return full_; }
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void Fit();
    QString full_;
};

class StatusPanel : public QObject {
    Q_OBJECT
  public:
    StatusPanel(QStatusBar* bar, Document& doc, PortChoice& ports);
    // A message that stays until the next one, or until the configuration changes.
    void Say(const QString& message);
    // While a transfer runs: a bar with the port and the phase, and a Cancel button.
    void ShowTransfer(bool running);
    // A transfer's caption ("Block 16 of 2304", "Device Checksum", ...).
    void Progress(const QString& caption);
    void Refresh();

    QLabel* file() const { return file_; }
    QLabel* state() const { return state_; }
    QLabel* port() const { return port_; }
    WordElidedLabel* message() const { return message_; }
    QProgressBar* bar() const { return bar_; }
    QPushButton* cancel() const { return cancel_; }

  private:
    void ForgetStale();

    Document& doc_;
    PortChoice& ports_;
    QLabel *file_, *state_, *port_;
    WordElidedLabel* message_;
    QProgressBar* bar_;
    QPushButton* cancel_;
    quint64 saidAt_ = 0;  // the document's revision when the message was said
};

}  // namespace zez
