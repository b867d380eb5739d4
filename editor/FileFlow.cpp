#include "editor/FileFlow.h"

#include <QDir>
#include <QFileInfo>

#include "config/ConfigText.h"
#include "editor/Session.h"
#include "export/LocalPath.h"
#include "logic/Compare.h"
#include "logic/Layout.h"
#include "system/CdfFile.h"
#include "system/Versions.h"

namespace zez {
namespace {

std::filesystem::path Local(const QString& path) {
    return LocalPath(path);
}

// Something a save would replace: a file that is not empty (a configuration or anything else).
bool HoldsAnything(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.size() > 0;
}

}  // namespace

const QString FileFlow::kFilter =
    QStringLiteral("Lumacor Zaruzizivav Data Files (*.CDF)|*.CDF|All Files (*.*)|*.*");

QString FileFlow::DefaultDialogName() {
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\Brantel Lumacor\\*.CDF");
#else
    return QDir::homePath() + QStringLiteral("/Brantel Lumacor/*.CDF");
#endif
}

FileFlow::FileFlow(Document& doc, Dialogs& dialogs, QObject* parent)
    : QObject(parent), doc_(doc), dialogs_(dialogs) {}

void FileFlow::SetSession(Session* session) {
    session_ = session;
    // A file opened before (named on the command line) is a recent file too.
    if (session_ && doc_.hasFile())
        session_->AddRecent(QFileInfo(doc_.fileName()).absoluteFilePath());
    emit RecentChanged();
}

QStringList FileFlow::Recent() const {
    return session_ ? session_->Recent() : QStringList();
}

bool FileFlow::MayDiscard(const QString& title, const QString& text, Icon icon) {
    return !doc_.changed() || dialogs_.Message(text, title, Buttons::YesNo, icon) == Answer::Yes;
}

bool FileFlow::MayDiscardForOpen() {
    return MayDiscard(QStringLiteral("Open"), QStringLiteral("Discard Any Changes?"),
                      Icon::Question);
}

void FileFlow::New() {
    if (!MayDiscard(QStringLiteral("New"))) return;
    // The file name and the flag stay: Save then writes the emptied record to the last file.
    doc_.Replace(Config{}, std::nullopt, doc_.changed());
    if (session_) session_->RemoveRecovery();
}

void FileFlow::Open() {
    // Whatever the answers, Open leaves output 1 shown and not compiled.
    if (MayDiscardForOpen()) {
        QString initial;
        if (doc_.hasFile()) {
            initial = doc_.fileName();  // its folder, with its name chosen
        } else if (!dialogPathSet_) {
            initial = DefaultDialogName();
            dialogPathSet_ = true;
        }
        const QString name = dialogs_.OpenFileName({kFilter, initial, true});
        if (!name.isEmpty() && name != DefaultDialogName()) Load(name);
    }
    doc_.Restart();
}

void FileFlow::OpenNamed(const QString& path) {
    Load(path);
    doc_.Restart();
}

void FileFlow::OpenRecent(const QString& path) {
    if (!QFileInfo::exists(path)) {
        if (session_) session_->RemoveRecent(path);
        emit RecentChanged();
        dialogs_.Message(
            QStringLiteral("%1 no longer exists; it was taken off the recent files.").arg(path),
            QStringLiteral("Open"), Buttons::Ok, Icon::Warning);
        return;
    }
    OpenAsked(path);
}

void FileFlow::OpenAsked(const QString& path) {
    if (MayDiscardForOpen()) OpenNamed(path);
}

void FileFlow::Load(const QString& path) {
    auto loaded = LoadFromFile(Local(path));
    if (!loaded) {
        dialogs_.Message(QString::fromStdString(loaded.error()), QStringLiteral("Open"),
                         Buttons::Ok, Icon::Critical);
        return;
    }
    doc_.Replace(loaded.value().config, path, false);
    Know(path, loaded.value().config);
    Remember(path);
    emit Said(QStringLiteral("Opened %1").arg(QFileInfo(path).fileName()));
    const InvalidCounts bad = loaded.value().invalid;
    if (bad.any()) {
        // What the file looks like, when it is plainly something else, comes first.
        const auto looks = NotAConfigurationFile(Local(path), false);
        const QString what =
            looks ? QStringLiteral("This file holds no configuration: it looks like %1.\r\n")
                        .arg(QString::fromStdString(*looks))
                  : QString();
        dialogs_.Message(
            what + QStringLiteral(
                       "%1 segment(s) in this file hold values outside 0 to 15.\r\n"
                       "Until they are replaced, a segment with an invalid type acts as an "
                       "empty segment, and a contact with an invalid input selection acts as "
                       "if its input were off.")
                       .arg(bad.segments),
            QStringLiteral("Open"), Buttons::Ok, Icon::Warning);
    }
}

void FileFlow::Save() {
    if (!doc_.hasFile()) return SaveAs();
    const QString path = doc_.fileName();
    if (!ChangedElsewhere(path) ||
        dialogs_.Message(QStringLiteral("%1 was changed by another program since it was opened or "
                                        "saved here.\r\nReplace it with the configuration shown?")
                                 .arg(path) +
                             KeptNote(),
                         QStringLiteral("Save"), Buttons::YesNo, Icon::Warning) == Answer::Yes)
        Write(path, QStringLiteral("Save"));
    emit SaveEnded();
}

QString FileFlow::KeptNote() const {
    return session_ && !session_->storage().versionsDir.isEmpty()
               ? QStringLiteral("\r\n(What it holds now is kept: File > Previous Versions...)")
               : QString();
}

void FileFlow::Know(const QString& path, const Config& config) {
    knownPath_ = QDir::toNativeSeparators(path);  // as the document keeps its name
    known_ = SerializeCdf(config);
}

bool FileFlow::ChangedElsewhere(const QString& path) const {
    if (!known_ || QDir::toNativeSeparators(path) != knownPath_) return false;
    const auto now = LoadFromFile(Local(path));  // a file gone is saved again without a question
    return now && SerializeCdf(now.value().config) != *known_;
}

void FileFlow::SaveAs() {
    dialogPathSet_ = true;
    const QString title = QStringLiteral("Save As");
    const QString initial = doc_.hasFile() ? doc_.fileName() : DefaultDialogName();
    const QString typed = dialogs_.SaveFileName({kFilter, initial, false, false});
    if (!typed.isEmpty() && typed != DefaultDialogName()) {
        // A file's name typed without an extension gets the one Open looks for. The dialog asks
        // nothing about a file that is there: a configuration (or an empty file) is asked about
        // here, anything else by Write, with the question that says what it holds.
        const QFileInfo info(typed);
        const QString name =
            info.suffix().isEmpty() && !info.isDir() ? typed + QStringLiteral(".CDF") : typed;
        if (!QFileInfo(name).isFile() ||
            (HoldsAnything(name) && !HoldsConfiguration(Local(name))) ||
            dialogs_.Message(
                QStringLiteral("%1 already exists.\r\nReplace it with the configuration shown?")
                        .arg(name) +
                    KeptNote(),
                title, Buttons::YesNo, Icon::Warning) == Answer::Yes)
            Write(name, title);
    }
    emit SaveEnded();
}

bool FileFlow::Write(const QString& path, const QString& title) {
    // A file that holds something else (a picture opened through All Files, say) is replaced
    // only when the user says so.
    if (HoldsAnything(path) && !HoldsConfiguration(Local(path)) &&
        dialogs_.Message(QStringLiteral("%1 does not hold a configuration; it may be a picture, a "
                                        "document or another program's file.\r\nReplace it "
                                        "with the configuration shown?")
                                 .arg(path) +
                             KeptNote(),
                         title, Buttons::YesNo, Icon::Warning) != Answer::Yes)
        return false;
    // What the file held is kept first; when it cannot be, the user decides whether to go on.
    QString notKept;
    if (session_ && !session_->storage().versionsDir.isEmpty() && HoldsAnything(path))
        if (auto kept = KeepVersion(Local(session_->storage().versionsDir), Local(path)); !kept) {
            if (dialogs_.Message(QStringLiteral("The previous version of %1 could not be kept: "
                                                "%2\r\nSave all the same?")
                                     .arg(path, QString::fromStdString(kept.error())),
                                 title, Buttons::YesNo, Icon::Warning) != Answer::Yes)
                return false;
            notKept = QStringLiteral(" (its previous version was not kept)");
        }
    auto saved = SaveToFile(doc_.record(), Local(path));
    if (!saved) {
        dialogs_.Message(QString::fromStdString(saved.error()), title, Buttons::Ok, Icon::Critical);
        return false;
    }
    doc_.MarkSaved(path);
    Know(path, doc_.record());
    Remember(path);
    emit Said(QStringLiteral("Saved %1").arg(QFileInfo(path).fileName()) + notKept);
    return true;
}

void FileFlow::PreviousVersions() {
    const auto versions =
        session_ && doc_.hasFile()
            ? ListVersions(Local(session_->storage().versionsDir), Local(doc_.fileName()))
            : std::vector<Version>{};
    if (versions.empty()) {
        dialogs_.Message(
            doc_.hasFile()
                ? QStringLiteral("No previous versions of %1 were kept.").arg(doc_.fileName())
                : QStringLiteral("There is no file: previous versions "
                                 "are kept of saved files."),
            QStringLiteral("Previous Versions"), Buttons::Ok, Icon::Information);
        return;
    }
    QStringList items;
    for (const auto& v : versions)
        items << QStringLiteral("%1 (%2 bytes)")
                     .arg(QString::fromStdString(v.written))
                     .arg(static_cast<qulonglong>(v.size));
    const int chosen = dialogs_.Choose(
        QStringLiteral("Versions of %1 that saves replaced, newest first:").arg(doc_.fileName()),
        QStringLiteral("Previous Versions"), items);
    if (chosen < 0 || !MayDiscard(QStringLiteral("Previous Versions"))) return;
    auto loaded = LoadFromFile(versions[static_cast<std::size_t>(chosen)].path);
    if (!loaded) {
        dialogs_.Message(QString::fromStdString(loaded.error()),
                         QStringLiteral("Previous Versions"), Buttons::Ok, Icon::Critical);
        return;
    }
    // Unsaved changes to the same file: only a Save writes it (and keeps what it replaces).
    doc_.Replace(loaded.value().config, doc_.fileName(), true);
    emit Said(QStringLiteral("Showing the version of %1").arg(items[chosen]));
}

void FileFlow::CompareWithFile() {
    const QString title = QStringLiteral("Compare With File");
    const QString name = dialogs_.OpenFileName(
        {QStringLiteral("Configurations (*.CDF *.zez)|*.CDF;*.zez|All Files (*.*)|*.*"), QString(),
         true});
    if (name.isEmpty()) return;
    auto loaded = LoadConfigOrText(Local(name), DrawFormula);
    if (!loaded) {
        dialogs_.Message(QString::fromStdString(loaded.error()), title, Buttons::Ok,
                         Icon::Critical);
        return;
    }
    const Comparison c = CompareConfigs(doc_.record(), loaded.value().config);
    const QString text = QStringLiteral("A: the configuration shown\nB: %1\n\n%2")
                             .arg(name, QString::fromStdString(ComparisonText(c)).trimmed());
    dialogs_.Message(QString(text).replace(QLatin1Char('\n'), QStringLiteral("\r\n")), title,
                     Buttons::Ok, c.Same() ? Icon::Information : Icon::Warning);
    emit Said(c.Same() ? QStringLiteral("Same as %1").arg(QFileInfo(name).fileName())
                       : QStringLiteral("Differs from %1").arg(QFileInfo(name).fileName()));
    bool diagrams = false;
    for (const auto& o : c.outputs) diagrams = diagrams || o.segments != 0;
    emit Compared(diagrams ? std::optional(loaded.value().config) : std::nullopt,
                  QFileInfo(name).fileName());
}

void FileFlow::Remember(const QString& path) {
    if (!session_) return;
    session_->AddRecent(QFileInfo(path).absoluteFilePath());
    session_->RemoveRecovery();  // saved or opened: nothing left to recover
    emit RecentChanged();
}

}  // namespace zez
