#pragma once
// Unsaved changes kept through a crash: a recovery copy written on a timer while there are
// unsaved changes, and the offer to restore a copy an editor left when it did not end cleanly.

#include <QObject>
#include <QTimer>
#include <functional>

#include "editor/Dialogs.h"
#include "editor/Document.h"

namespace zez {

class Session;

class RecoveryFlow : public QObject {
    Q_OBJECT
  public:
    // `busy` says when a transfer runs (no copy is written then).
    RecoveryFlow(Document& doc, Dialogs& dialogs, Session& session, std::function<bool()> busy,
                 QObject* parent = nullptr);

    // Offers every copy left behind; the first one restored becomes the document.
    void Offer();
    // Autosave every 30 s (or ZEZ_AUTOSAVE_MS).
    void Start();
    // One autosave tick.
    void Autosave();
    // The program is being ended from outside (a shutdown, a logoff): unsaved changes are
    // written to the copy now, also during a transfer, and nothing is shown or asked. False
    // when they could not be written.
    bool KeepNow();

  signals:
    // A line for the status bar: said once when recovery copies cannot be written.
    void Said(const QString& message);

  private:
    // Says what the session set aside, and once that copies cannot be written.
    void Tell(const QString& failure = {});

    Document& doc_;
    Dialogs& dialogs_;
    Session& session_;
    std::function<bool()> busy_;
    QTimer timer_;
    bool toldFailure_ = false;
};

}  // namespace zez
