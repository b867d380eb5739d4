#include "editor/Session.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>

#include "config/CdfFile.h"
#include "config/ReplaceFile.h"

namespace zez {
namespace {

constexpr auto kRecentKey = "recentFiles";

std::string Local(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

Storage Storage::Default() {
    return {QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                QStringLiteral("/zezudi.ini"),
            QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                QStringLiteral("/recovery")};
}

Session::Session(Storage storage) : storage_(std::move(storage)) {
    if (storage_.recoveryDir.isEmpty()) return;
    QDir().mkpath(storage_.recoveryDir);
    id_ = QStringLiteral("%1-%2")
              .arg(QCoreApplication::applicationPid())
              .arg(QRandomGenerator::global()->bounded(1000000));
    lock_ = std::make_unique<QLockFile>(Base(id_) + QStringLiteral(".lock"));
    if (!lock_->tryLock(0)) lock_.reset();
}

Session::~Session() = default;

QString Session::Base(const QString& id) const {
    return storage_.recoveryDir + QStringLiteral("/session-") + id;
}

QStringList Session::Recent() const {
    if (storage_.settingsFile.isEmpty()) return {};
    return QSettings(storage_.settingsFile, QSettings::IniFormat)
        .value(QLatin1String(kRecentKey))
        .toStringList();
}

void Session::AddRecent(const QString& path) {
    if (storage_.settingsFile.isEmpty()) return;
    QStringList list = Recent();
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > kRecentLimit) list.removeLast();
    QSettings(storage_.settingsFile, QSettings::IniFormat)
        .setValue(QLatin1String(kRecentKey), list);
}

void Session::RemoveRecent(const QString& path) {
    if (storage_.settingsFile.isEmpty()) return;
    QStringList list = Recent();
    list.removeAll(path);
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
    for (const QString& name : dir.entryList({QStringLiteral("session-*.CDF")}, QDir::Files)) {
        const QString id = name.mid(8, name.size() - 8 - 4);
        if (id == id_) continue;
        // A lock that can be taken belongs to no running editor.
        QLockFile other(Base(id) + QStringLiteral(".lock"));
        if (!other.tryLock(0)) continue;
        other.unlock();
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
    // The note of what the copy is goes first: a copy is never found without it.
    const QString info = Base(id_) + QStringLiteral(".info");
    {
        QSettings s(info, QSettings::IniFormat);
        s.setValue(QStringLiteral("file"), fileName);
        s.setValue(QStringLiteral("written"), QDateTime::currentDateTime());
        s.sync();
        if (s.status() != QSettings::NoError)
            return Error{"Cannot write the recovery copy to \"" + Local(info) + "\"."};
    }
    return SaveToFile(config, Local(Base(id_) + QStringLiteral(".CDF")));
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
    if (lock_) lock_->unlock();
    lock_.reset();
}

}  // namespace zez
