#pragma once
// New, Open, Save, Save As, the recent files and the exit guard: everything that moves a
// configuration between the document and the user's files.

#include <QObject>
#include <QString>
#include <QStringList>

#include "editor/Dialogs.h"
#include "editor/Document.h"
#include "system/CdfFile.h"

namespace zez {

class Session;

class FileFlow : public QObject {
    Q_OBJECT
  public:
    FileFlow(Document& doc, Dialogs& dialogs, QObject* parent = nullptr);

    // The file dialogs' filter and default name (a folder and a pattern).
    static const QString kFilter;
    static QString DefaultDialogName();

    // Keeps the recent files there from now on.
    void SetSession(Session* session);
    QStringList Recent() const;

    // The one question before unsaved changes are thrown away: true when they may go (or there
    // are none).
    bool MayDiscard(const QString& title, const QString& text = QStringLiteral("Discard Changes?"),
                    Icon icon = Icon::None);

    void New();
    void Open();
    // Through the same path as Open, without the dialog (a file named on the command line).
    void OpenNamed(const QString& path);
    // Open's question first, then the file (a recent file, a file dropped on the window).
    void OpenAsked(const QString& path);
    void OpenRecent(const QString& path);
    void Save();
    void SaveAs();
    // File > Previous Versions...: the versions kept of the file Save writes; the one chosen is
    // shown as unsaved changes to it.
    void PreviousVersions();
    // File > Compare With File...: what differs between the configuration shown and a file
    // (a CDF file or a text form), per output and in the note. Changes nothing.
    void CompareWithFile();
    // The question of Exit and of the close box.
    bool MayExit() { return MayDiscard(QStringLiteral("Exit Program")); }

    bool dialogPathSet() const { return dialogPathSet_; }

  signals:
    void RecentChanged();
    // Save or Save As ended, written or not.
    void SaveEnded();
    // A short line for the status bar.
    void Said(const QString& message);
    // Compare With File found diagrams that differ from `other` (the file `name`), or none
    // (`other` empty).
    void Compared(const std::optional<Config>& other, const QString& name);

  private:
    bool MayDiscardForOpen();
    void Load(const QString& path);
    // Writes to `path`, asking first when it holds something other than a configuration; a
    // failure is told under `title`.
    bool Write(const QString& path, const QString& title);
    // What a question about replacing a file adds when the replaced content is kept.
    QString KeptNote() const;
    void Remember(const QString& path);
    // What this editor last read from or wrote to `path`; whether the file holds something else
    // now (another program or editor saved it meanwhile).
    void Know(const QString& path, const Config& config);
    bool ChangedElsewhere(const QString& path) const;

    Document& doc_;
    Dialogs& dialogs_;
    Session* session_ = nullptr;
    bool dialogPathSet_ = false;
    QString knownPath_;
    std::optional<CdfBytes> known_;
};

}  // namespace zez
