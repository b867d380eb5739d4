#include "editor/TransferFlow.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QStringList>
#include <QThread>
#include <memory>

#include "export/LocalPath.h"
#include "system/TransferLog.h"

namespace zez {

TransferFlow::TransferFlow(Document& doc, Dialogs& dialogs, PortChoice& ports,
                           const DeviceAccess& device, QObject* parent)
    : QObject(parent), doc_(doc), dialogs_(dialogs), ports_(ports), device_(device) {}

bool TransferFlow::PortReady(const QString& command) {
    const PortChoice::Target target = ports_.TransferTarget();
    auto refuse = [this](const QString& why) {
        dialogs_.Message(why, QStringLiteral("Error"), Buttons::Ok, Icon::Critical);
        return false;
    };
    if (!target.error.empty()) return refuse(QString::fromStdString(target.error));
    if (target.emulated) return true;
    if (target.unconfirmed) {
        if (dialogs_.Message(QStringLiteral("COM%1 was remembered by an earlier version of this "
                                            "program by its place in the list of ports, which "
                                            "changes when adapters are plugged in. It is now "
                                            "%2.\r\nUse this port?")
                                 .arg(ports_.comNumber())
                                 .arg(ports_.PortDescription()),
                             command, Buttons::YesNo, Icon::Question) != Answer::Yes)
            return false;
        ports_.Confirm();
    }
    // Opened and closed again before the question, so that a port that cannot be used is said
    // before the module is power-cycled for nothing.
    const auto serial = device_.makePort();
    const auto opened = serial->Open(target.port, "38400,n,8,1");
    serial->Close();
    if (opened) return true;
    return refuse(QString::fromStdString(opened.error()) +
                  QStringLiteral("\r\nNothing was sent. Choose the port under Connect."));
}

bool TransferFlow::PowerCycled(const QString& command, bool sayCancelled) {
    if (!PortReady(command)) return false;
    // The port and its adapter first; the question itself as it always reads.
    if (dialogs_.Message(QStringLiteral("Port: %1\r\n\r\n").arg(ports_.PortDescription()) +
                             QStringLiteral("Power Cycle Device Prior To %1.\r\n"
                                            "Device Node Must Be 00\r\nContinue?")
                                 .arg(command),
                         command, Buttons::YesNo, Icon::None) == Answer::Yes)
        return true;
    if (sayCancelled)
        dialogs_.Message(command + QStringLiteral(" Cancelled"), command, Buttons::Ok, Icon::None);
    return false;
}

device::TransferResult TransferFlow::Run(const QString& firstCaption, const Transfer& transfer) {
    device::TransferResult result;
    emit Caption(firstCaption);
    const PortChoice::Target target = ports_.TransferTarget();
    if (!target.error.empty()) {
        result.outcome = device::Outcome::PortError;
        result.reason = target.error;
        return result;
    }
    running_ = true;
    cancel_ = false;
    emit Busy(true);
    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        std::unique_ptr<device::SerialPort> serial;
        device::TimeSource* time = device_.time;
        if (target.emulated) {
            serial = std::make_unique<device::EmulatedPort>(*ports_.emulator(), simTime_);
            time = &simTime_;
        } else {
            serial = device_.makePort();
        }
        device::Link link(*serial, *time);
        link.SetCancel(&cancel_);
        result = transfer(link, target.port, [this](const std::string& caption) {
            QMetaObject::invokeMethod(
                this, [this, text = QString::fromStdString(caption)] { emit Caption(text); },
                Qt::QueuedConnection);
        });
    }));
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();  // the window takes no input but the transfer's Cancel
    worker->wait();
    QCoreApplication::sendPostedEvents(this);  // the last captions
    emit Busy(false);
    running_ = false;
    return result;
}

void TransferFlow::Report(const device::TransferResult& r, const QString& command,
                          const QString& complete, const QString& failed) {
    switch (r.outcome) {
        case device::Outcome::Complete:
            dialogs_.Message(complete, command, Buttons::Ok, Icon::Information);
            break;
        case device::Outcome::Failed:
            // A transfer that had to stop says why, and on which port.
            dialogs_.Message(failed + QStringLiteral("\r\n") + QString::fromStdString(r.reason) +
                                 (r.reason.empty() ? QString() : QStringLiteral(" ")) +
                                 QStringLiteral("(port %1)").arg(ports_.CurrentPortName()),
                             command + QStringLiteral(" Failure"), Buttons::Ok, Icon::Critical);
            break;
        case device::Outcome::NoConnect:
            dialogs_.Message(QStringLiteral("Unable to connect to device.\r\nNo answer from the "
                                            "module on %1.\r\nCheck that the module is powered "
                                            "and its node is 00, that the cable is plugged in at "
                                            "both ends, and that this is the port its cable is "
                                            "on.")
                                 .arg(ports_.PortDescription()),
                             QStringLiteral("Error"), Buttons::Ok, Icon::Critical);
            break;
        case device::Outcome::PortError:
            dialogs_.Message(QString::fromStdString(r.reason), QStringLiteral("Error"), Buttons::Ok,
                             Icon::Critical);
            break;
        case device::Outcome::Cancelled:
            dialogs_.Message(
                command + QStringLiteral(" cancelled") +
                    (command == QStringLiteral("Download")
                         ? QStringLiteral("\r\nThe device holds an unfinished download and will "
                                          "NOT function properly until a download completes.")
                         : QStringLiteral("\r\nNothing was changed.")),
                command, Buttons::Ok, Icon::Warning);
            break;
    }
}

void TransferFlow::Log(const char* action, const device::TransferResult& r,
                       const device::VerifyResult* verify) {
    // A port that could not be used reached no device: nothing to log.
    if (log_.empty() || r.outcome == device::Outcome::PortError) return;
    const auto entry =
        device::EntryFor(action, ports_.CurrentPortName().toStdString(),
                         doc_.hasFile() ? doc_.fileName().toStdString() : std::string(), r, verify);
    if (auto logged = device::AppendToLog(log_, entry); !logged)
        emit Said(QStringLiteral("The transfer was not logged: ") +
                  QString::fromStdString(logged.error()));
    else if (!logged.value().empty())
        emit Said(QString::fromStdString(logged.value()));
}

void TransferFlow::ShowLog() {
    const auto entries = device::ReadLog(log_);
    if (!entries) {
        dialogs_.Message(QString::fromStdString(entries.error()), QStringLiteral("Transfer Log"),
                         Buttons::Ok, Icon::Critical);
        return;
    }
    if (!entries.value().setAside.empty()) {
        dialogs_.Message(QString::fromStdString(entries.value().setAside),
                         QStringLiteral("Transfer Log"), Buttons::Ok, Icon::Warning);
        return;
    }
    QString text = QString::fromStdString(device::LogText(entries.value().entries, 20));
    if (text.isEmpty()) text = QStringLiteral("No transfer has been logged yet.\n");
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    dialogs_.Message(text + QStringLiteral("\r\nThe log is kept in %1.").arg(QtPath(log_)),
                     QStringLiteral("Transfer Log"), Buttons::Ok, Icon::Information);
}

void TransferFlow::Download(bool verifyAfter) {
    // Values outside the codes are asked about before anything reaches the device.
    if (const InvalidCounts bad = CountInvalid(doc_.record());
        bad.any() &&
        dialogs_.Message(QStringLiteral("%1 segment(s) of this configuration hold "
                                        "values outside 0 to 15; the device would "
                                        "run them as empty segments and contacts "
                                        "whose input is off.\r\nDownload it anyway?")
                             .arg(bad.segments),
                         QStringLiteral("Download"), Buttons::YesNo, Icon::Warning) != Answer::Yes)
        return;
    if (!PowerCycled(QStringLiteral("Download"), true)) return;
    const ControlArray array = doc_.controlArray();
    const Config config = doc_.record();
    const auto r =
        Run(QStringLiteral("Block 0 of 2304"),
            [&](device::Link& link, const std::string& port, const device::CaptionFn& caption) {
                return device::Download(link, port, array, config, caption);
            });
    Log("download", r);
    Report(r, QStringLiteral("Download"),
           QStringLiteral("Download Complete.\r\nPower Cycle Device."),
           QStringLiteral("Download Failed.\r\nDevice Will NOT Function Properly."));
    const char* said = r.outcome == device::Outcome::Complete    ? "Downloaded to %1"
                       : r.outcome == device::Outcome::Cancelled ? "Download to %1 cancelled"
                                                                 : "Download to %1 failed";
    emit Said(QString::fromLatin1(said).arg(ports_.CurrentPortName()));
    emit Caption({});
    if (r.outcome == device::Outcome::Complete && verifyAfter) Compare(false);
}

void TransferFlow::Upload() {
    if (doc_.changed() &&
        dialogs_.Message(QStringLiteral("Discard Changes?"), QStringLiteral("Upload"),
                         Buttons::YesNo, Icon::None) == Answer::No)
        return;
    dialogs_.Message(
        QStringLiteral(
            "When downloading, the compiled control array, configuration data, and notes are all "
            "stored in the device. The device operates based on the compiled control array only. "
            "The configuration data and notes are stored in the device as a reference only. This "
            "function uploads the configuration data and notes only. It does NOT upload the "
            "compiled control array. If the last download had failed, the uploaded configuration "
            "data may not match the control array. This situation may result in the device "
            "operating differently than the configuration data would indicate"),
        QStringLiteral("Upload Notice"), Buttons::Ok, Icon::Information);
    if (!PowerCycled(QStringLiteral("Upload"), true)) return;
    const auto r =
        Run(QStringLiteral("Block 0 of 32"),
            [](device::Link& link, const std::string& port, const device::CaptionFn& caption) {
                return device::Upload(link, port, caption);
            });
    Log("upload", r);
    Report(r, QStringLiteral("Upload"), QStringLiteral("Upload Complete.\r\nPower Cycle Device."),
           QStringLiteral("Upload Failed.\r\nHost Program Cleared."));
    if (r.outcome == device::Outcome::Cancelled) {  // nothing was received: nothing changes
        emit Caption({});
        return;
    }
    doc_.SetNotCompiled();
    if (r.outcome == device::Outcome::Failed) emit UploadFailed();
    emit Said(r.outcome == device::Outcome::Complete
                  ? QStringLiteral("Uploaded from %1").arg(ports_.CurrentPortName())
                  : QStringLiteral("Upload from %1 failed").arg(ports_.CurrentPortName()));
    emit Caption({});
    // Only a verified upload becomes the configuration; whatever came, it is unsaved and the
    // file name stays, so that Save writes there.
    doc_.Replace(r.outcome == device::Outcome::Complete ? r.uploaded : doc_.record(), std::nullopt,
                 true);
}

void TransferFlow::Compare(bool ask) {
    if (ask && !PowerCycled(QStringLiteral("Compare"), false)) return;
    ControlArray array{};
    zez::Compile(doc_.record(), array);
    const Config config = doc_.record();
    device::VerifyResult v;
    const auto r =
        Run(QStringLiteral("Block 0 of 288"),
            [&](device::Link& link, const std::string& port, const device::CaptionFn& caption) {
                v = device::Verify(link, port, array, config, false, caption);
                return v.transfer;
            });
    emit Caption({});
    Log("compare", r, &v);
    if (r.outcome != device::Outcome::Complete) {
        Report(r, QStringLiteral("Compare"), QString(), QStringLiteral("Compare Failed."));
        return;
    }
    QStringList lines;
    for (const auto& line : device::VerifyReport(v)) lines << QString::fromStdString(line);
    dialogs_.Message(v.match ? QStringLiteral("The device holds this configuration, its control "
                                              "array and its note.")
                             : QStringLiteral("The device holds something else:\r\n") +
                                   lines.join(QStringLiteral("\r\n")),
                     QStringLiteral("Compare"), Buttons::Ok,
                     v.match ? Icon::Information : Icon::Warning);
    // The segments the device stores otherwise, with what it holds there.
    emit Compared(device::DeviceDiagrams(v, config), QStringLiteral("the device"));
}

}  // namespace zez
