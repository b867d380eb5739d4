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
    // A failure here is not worth a box every 30 s; the next tick tries again.
    (void)session_.WriteRecovery(doc_.record(), doc_.fileName());
}

void RecoveryFlow::Offer() {
    for (const auto& orphan : session_.FindOrphans()) {
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
