#pragma once
// What the editor keeps between runs: the recent files, and a recovery copy of unsaved changes
// that survives a crash. Recovery copies live in the user's own data folder, never beside the
// user's files; each running editor holds a lock on its own, so a copy whose lock is free was
// left by an editor that did not end cleanly.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "config/Config.h"
#include "config/Result.h"
#include "system/FileLock.h"

namespace zez {

struct Storage {
    QString settingsFile;  // recent files
    QString recoveryDir;   // recovery copies
    QString versionsDir;   // previous versions of the files saves replaced
    QString transferLog;   // the transfer log
    // The user's configuration and data folders.
    static Storage Default();
};

class Session {
  public:
    explicit Session(Storage storage);
    ~Session();  // keeps the recovery copy: only Close, on a clean exit, removes it

    static constexpr int kRecentLimit = 8;
    QStringList Recent() const;
    void AddRecent(const QString& path);
    void RemoveRecent(const QString& path);
    const Storage& storage() const { return storage_; }
    // Other remembered choices (the port).
    QString Value(const QString& key) const;
    void SetValue(const QString& key, const QString& value);

    // A recovery copy of an editor that did not end cleanly.
    struct Orphan {
        QString copy;      // the CDF of the recovery copy
        QString fileName;  // the file the changes belong to ("None" for a new one)
        QDateTime written;
    };
    std::vector<Orphan> FindOrphans() const;
    Result<Config> Load(const Orphan& orphan) const;
    void Discard(const Orphan& orphan) const;

    // This editor's recovery copy: written whole or not at all.
    Result<void> WriteRecovery(const Config& config, const QString& fileName);
    void RemoveRecovery();
    bool HasRecovery() const;
    // A clean exit: the copy is removed and the lock given back.
    void Close();

    // What was found where the program keeps its own files and set aside (a link, a FIFO, a
    // file of the wrong size), a sentence each; taken once.
    QStringList TakeNotices();

  private:
    QString Base(const QString& id) const;
    // Whether the lock at `path` is this editor's own or held by another running editor.
    bool Held(const QString& path) const;
    // Whether the program may use its own file `path`: absent, or a regular file (not a link)
    // of at most `limit` bytes (exactly `exact` when that is set). Anything else is renamed
    // aside, said in a notice, and the answer is then as for an absent file; false only when it
    // could not be moved.
    bool Usable(const QString& path, qint64 limit, qint64 exact = -1) const;
    // Removes what sessions that ended without a clean exit left beside their copies: lock and
    // info files without a copy, and half-written temporaries.
    void CleanUp() const;
    void ReleaseLock();
    mutable QStringList notices_;
    Storage storage_;
    QString id_;
    std::optional<FileLock> lock_;  // the file is removed before the lock is let go
};

}  // namespace zez
