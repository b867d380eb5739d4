#include "editor/Session.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>

#include "export/LocalPath.h"
#include "system/CdfFile.h"
#include "system/FileAccess.h"
#include "system/FileLock.h"
#include "system/ReplaceFile.h"

namespace zez {
namespace {

constexpr auto kRecentKey = "recentFiles";
constexpr qint64 kSettingsLimit = 1 << 20;  // a settings or info file is small text
constexpr qint64 kInfoLimit = 1 << 16;

std::filesystem::path Local(const QString& path) {
    return LocalPath(path);
}

}  // namespace

Storage Storage::Default() {
    return {QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                QStringLiteral("/zezudi.ini"),
            QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                QStringLiteral("/recovery"),
            QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                QStringLiteral("/versions"),
            QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                QStringLiteral("/transfers.log")};
}

Session::Session(Storage storage) : storage_(std::move(storage)) {
    // A settings file that is no plain file would block or redirect every read and write.
    if (!storage_.settingsFile.isEmpty() && !Usable(storage_.settingsFile, kSettingsLimit))
        storage_.settingsFile.clear();
    if (storage_.recoveryDir.isEmpty()) return;
    QDir().mkpath(storage_.recoveryDir);
    CleanUp();
    id_ = QStringLiteral("%1-%2")
              .arg(QCoreApplication::applicationPid())
              .arg(QRandomGenerator::global()->bounded(1000000));
    if (!Usable(Base(id_) + QStringLiteral(".lock"), kInfoLimit)) return;
    auto lock = FileLock::Acquire(Local(Base(id_) + QStringLiteral(".lock")),
                                  std::chrono::milliseconds(0), "Cannot lock");
    if (lock) lock_.emplace(std::move(lock).value());
}

Session::~Session() {
    ReleaseLock();
}

void Session::ReleaseLock() {
    if (!lock_) return;
    QFile::remove(Base(id_) + QStringLiteral(".lock"));
    lock_.reset();
}

bool Session::Usable(const QString& path, qint64 limit, qint64 exact) const {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) return true;
    QString why;
    if (info.isSymLink())
        why = QStringLiteral("a link");
    else if (!info.isFile())
        why = QStringLiteral("not a plain file");
    else if (exact >= 0 && info.size() != exact)
        why = QStringLiteral("%1 bytes instead of %2").arg(info.size()).arg(exact);
    else if (info.size() > limit)
        why = QStringLiteral("%1 bytes, far more than it can hold").arg(info.size());
    if (why.isEmpty()) return true;
    // Renamed, never opened: a FIFO is not read, a link is not followed.
    const QString aside =
        path + QStringLiteral(".set-aside-") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz"));
    const bool moved = QFile::rename(path, aside);
    notices_ << (moved ? QStringLiteral("%1 was %2; it was set aside as %3.").arg(path, why, aside)
                       : QStringLiteral("%1 is %2 and could not be set aside; it is not used.")
                             .arg(path, why));
    return moved;
}

QStringList Session::TakeNotices() {
    QStringList taken;
    taken.swap(notices_);
    return taken;
}

void Session::CleanUp() const {
    const QDir dir(storage_.recoveryDir);
    const auto entries = dir.entryList({QStringLiteral("session-*")}, QDir::Files | QDir::System);
    for (const QString& name : entries) {
        const QString path = dir.filePath(name);
        if (name.contains(QStringLiteral(".zezudi-partial-save-"))) {
            RemoveStaleTemporaries(Local(path.left(path.indexOf(QStringLiteral(".zezudi-")))));
            continue;
        }
        if (!name.endsWith(QStringLiteral(".lock"))) continue;
        const QString base = path.left(path.size() - 5);
        if (QFileInfo::exists(base + QStringLiteral(".CDF"))) continue;  // offered at start
        if (!Usable(path, kInfoLimit)) continue;
        if (Held(path)) continue;
        QFile::remove(path);
        if (Usable(base + QStringLiteral(".info"), kInfoLimit))
            QFile::remove(base + QStringLiteral(".info"));
    }
}

bool Session::Held(const QString& path) const {
    if (path == Base(id_) + QStringLiteral(".lock")) return true;
    // The system lets go of a lock when its holder ends, however it ends, so a lock that can be
    // taken belongs to no running editor: not even one whose process number this editor has now
    // (Windows gives numbers again at once). Taken, it is removed, as its holder would have.
    auto other = FileLock::Acquire(Local(path), std::chrono::milliseconds(0), "Cannot lock");
    if (!other) return true;
    QFile::remove(path);
    return false;
}

QString Session::Base(const QString& id) const {
    return storage_.recoveryDir + QStringLiteral("/session-") + id;
}

namespace {

// A recent file as a person reads it and as the system compares names: native separators, and
// on Windows one entry for names that differ only in case.
QString RecentName(const QString& path) {
    return QDir::toNativeSeparators(path);
}

void RemoveName(QStringList& list, const QString& path) {
#ifdef Q_OS_WIN
    constexpr auto kCase = Qt::CaseInsensitive;
#else
    constexpr auto kCase = Qt::CaseSensitive;
#endif
    list.removeIf([&](const QString& p) { return p.compare(path, kCase) == 0; });
}

}  // namespace

QStringList Session::Recent() const {
    if (storage_.settingsFile.isEmpty()) return {};
    QStringList list = QSettings(storage_.settingsFile, QSettings::IniFormat)
                           .value(QLatin1String(kRecentKey))
                           .toStringList()
                           .mid(0, kRecentLimit);
    for (QString& p : list) p = RecentName(p);  // also what an earlier version kept
    return list;
}

void Session::AddRecent(const QString& path) {
    if (storage_.settingsFile.isEmpty()) return;
    QStringList list = Recent();
    RemoveName(list, RecentName(path));
    list.prepend(RecentName(path));
    while (list.size() > kRecentLimit) list.removeLast();
    QSettings(storage_.settingsFile, QSettings::IniFormat)
        .setValue(QLatin1String(kRecentKey), list);
}

void Session::RemoveRecent(const QString& path) {
    if (storage_.settingsFile.isEmpty()) return;
    QStringList list = Recent();
    RemoveName(list, RecentName(path));
    QSettings(storage_.settingsFile, QSettings::IniFormat)
        .setValue(QLatin1String(kRecentKey), list);
}

QString Session::Value(const QString& key) const {
    if (storage_.settingsFile.isEmpty()) return {};
    return QSettings(storage_.settingsFile, QSettings::IniFormat).value(key).toString();
}

void Session::SetValue(const QString& key, const QString& value) {
    if (storage_.settingsFile.isEmpty()) return;
    QSettings(storage_.settingsFile, QSettings::IniFormat).setValue(key, value);
}

std::vector<Session::Orphan> Session::FindOrphans() const {
    std::vector<Orphan> found;
    if (storage_.recoveryDir.isEmpty()) return found;
    const QDir dir(storage_.recoveryDir);
    const auto copies =
        dir.entryList({QStringLiteral("session-*.CDF")}, QDir::Files | QDir::System);
    for (const QString& name : copies) {
        const QString id = name.mid(8, name.size() - 8 - 4);
        if (id == id_) continue;
        // Only a plain file of one configuration is a copy; its lock and info are read only when
        // they are plain files too.
        if (!Usable(dir.filePath(name), kCdfBytes, kCdfBytes) ||
            !QFileInfo(dir.filePath(name)).isFile() ||
            !Usable(Base(id) + QStringLiteral(".lock"), kInfoLimit) ||
            !Usable(Base(id) + QStringLiteral(".info"), kInfoLimit))
            continue;
        if (Held(Base(id) + QStringLiteral(".lock"))) continue;
        QSettings info(Base(id) + QStringLiteral(".info"), QSettings::IniFormat);
        found.push_back({dir.filePath(name), info.value(QStringLiteral("file")).toString(),
                         info.value(QStringLiteral("written")).toDateTime()});
    }
    return found;
}

Result<Config> Session::Load(const Orphan& orphan) const {
    auto loaded = LoadFromFile(Local(orphan.copy));
    if (!loaded) return Error{loaded.error()};
    return loaded.value().config;
}

void Session::Discard(const Orphan& orphan) const {
    const QString base = orphan.copy.left(orphan.copy.size() - 4);
    QFile::remove(orphan.copy);
    QFile::remove(base + QStringLiteral(".info"));
    QFile::remove(base + QStringLiteral(".lock"));
}

Result<void> Session::WriteRecovery(const Config& config, const QString& fileName) {
    if (id_.isEmpty()) return {};
    // The note of what the copy is goes first: a copy is never found without it. Whatever
    // took the place of either (a link, a FIFO, a grown file) is set aside first, so a write
    // never goes through it.
    const QString info = Base(id_) + QStringLiteral(".info");
    const QString copy = Base(id_) + QStringLiteral(".CDF");
    if (!Usable(info, kInfoLimit) || !Usable(copy, kCdfBytes, kCdfBytes))
        return Error{"Cannot write the recovery copy: " +
                     notices_.join(QLatin1Char(' ')).toStdString()};
    {
        QSettings s(info, QSettings::IniFormat);
        s.setValue(QStringLiteral("file"), fileName);
        s.setValue(QStringLiteral("written"), QDateTime::currentDateTime());
        s.sync();
        if (s.status() != QSettings::NoError)
            return Error{"Cannot write the recovery copy to \"" + info.toStdString() + "\"."};
    }
    return SaveToFile(config, Local(copy));
}

void Session::RemoveRecovery() {
    if (id_.isEmpty()) return;
    QFile::remove(Base(id_) + QStringLiteral(".CDF"));
    QFile::remove(Base(id_) + QStringLiteral(".info"));
}

bool Session::HasRecovery() const {
    return !id_.isEmpty() && QFile::exists(Base(id_) + QStringLiteral(".CDF"));
}

void Session::Close() {
    RemoveRecovery();
    ReleaseLock();
}

}  // namespace zez
