#include "editor/RecoveryFlow.h"

#include <QLocale>

#include "editor/Session.h"

namespace zez {

RecoveryFlow::RecoveryFlow(Document& doc, Dialogs& dialogs, Session& session,
                           std::function<bool()> busy, QObject* parent)
    : QObject(parent), doc_(doc), dialogs_(dialogs), session_(session), busy_(std::move(busy)) {
    connect(&timer_, &QTimer::timeout, this, [this] { Autosave(); });
}

void RecoveryFlow::Start() {
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("ZEZ_AUTOSAVE_MS", &ok);
    timer_.setInterval(ok && ms > 0 ? ms : 30000);
    timer_.start();
}

void RecoveryFlow::Autosave() {
    if (busy_ && busy_()) return;
    if (!doc_.changed()) {
        if (session_.HasRecovery()) session_.RemoveRecovery();
        return;
    }
    // A failure is said once, not every 30 s; the next tick tries again.
    const auto written = session_.WriteRecovery(doc_.record(), doc_.fileName());
    Tell(written ? QString() : QString::fromStdString(written.error()));
    if (written) toldFailure_ = false;
}

bool RecoveryFlow::KeepNow() {
    return !doc_.changed() || session_.WriteRecovery(doc_.record(), doc_.fileName()).ok();
}

void RecoveryFlow::Tell(const QString& failure) {
    for (const QString& notice : session_.TakeNotices())
        dialogs_.Message(notice, QStringLiteral("Recovery"), Buttons::Ok, Icon::Warning);
    if (failure.isEmpty() || toldFailure_) return;
    toldFailure_ = true;
    emit Said(QStringLiteral("Unsaved changes cannot be kept for recovery after a crash: %1 "
                             "Save your work to keep it.")
                  .arg(failure));
}

void RecoveryFlow::Offer() {
    const auto orphans = session_.FindOrphans();
    Tell();
    for (const auto& orphan : orphans) {
        const bool named = !orphan.fileName.isEmpty() && orphan.fileName != Document::kNoFile;
        const QString file = named ? orphan.fileName : QStringLiteral("a new configuration");
        const QString when = QLocale::system().toString(orphan.written, QLocale::LongFormat);
        if (dialogs_.Message(QStringLiteral("ZezUdi did not end cleanly last time. Unsaved changes "
                                            "to %1, written %2, were kept.\r\nRestore them? (No "
                                            "deletes them.)")
                                 .arg(file, when),
                             QStringLiteral("Recovery"), Buttons::YesNo,
                             Icon::Question) == Answer::No) {
            session_.Discard(orphan);
            continue;
        }
        auto loaded = session_.Load(orphan);
        if (!loaded) {
            dialogs_.Message(QString::fromStdString(loaded.error()), QStringLiteral("Recovery"),
                             Buttons::Ok, Icon::Critical);
            continue;  // kept for the next start
        }
        // Unsaved: only a Save writes the user's file.
        doc_.Replace(loaded.value(),
                     orphan.fileName.isEmpty() ? std::nullopt : std::optional(orphan.fileName),
                     true);
        // This editor's own copy first, so the changes are never in no copy at all.
        if (session_.WriteRecovery(doc_.record(), doc_.fileName())) session_.Discard(orphan);
        return;
    }
}

}  // namespace zez
