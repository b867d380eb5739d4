#pragma once
// Download, Upload and Compare with Device: the power-cycle questions, the transfer on a worker
// thread with its own serial port, the progress captions, and the message boxes of the outcome.

#include <QObject>
#include <QString>
#include <atomic>
#include <filesystem>
#include <functional>

#include "device/Transfers.h"
#include "editor/Dialogs.h"
#include "editor/Document.h"
#include "editor/PortChoice.h"

namespace zez {

class TransferFlow : public QObject {
    Q_OBJECT
  public:
    TransferFlow(Document& doc, Dialogs& dialogs, PortChoice& ports, const DeviceAccess& device,
                 QObject* parent = nullptr);

    // `verifyAfter`: a complete download is read back and compared.
    void Download(bool verifyAfter);
    void Upload();
    // Reads back and reports; `ask` puts the power-cycle question first.
    void Compare(bool ask);
    bool running() const { return running_; }
    // Stops the running transfer at its next exchange.
    void Cancel() { cancel_ = true; }
    // Where every transfer that reached for a device is logged; none: not logged.
    void SetLog(std::filesystem::path log) { log_ = std::move(log); }
    // Tools > Transfer Log: the newest entries in a box.
    void ShowLog();

  signals:
    // The window takes no input while a transfer runs.
    void Busy(bool busy);
    // The progress caption; empty: hidden.
    void Caption(const QString& caption);
    // An upload failed: the program's record is cleared as New does.
    void UploadFailed();
    // A short line for the status bar.
    void Said(const QString& message);
    // Compare with Device found diagrams that differ: `other` is the configuration shown with the
    // device's segments where they differ (none: they agree).
    void Compared(const std::optional<Config>& other, const QString& name);

  private:
    using Transfer = std::function<device::TransferResult(device::Link&, const std::string&,
                                                          const device::CaptionFn&)>;
    // Runs `transfer` on its own thread while the window stays painted and takes no input.
    device::TransferResult Run(const QString& firstCaption, const Transfer& transfer);
    // The chosen port can be used: it is there, confirmed and opens; else said, false.
    bool PortReady(const QString& command);
    bool PowerCycled(const QString& command, bool sayCancelled);
    void Report(const device::TransferResult& r, const QString& command, const QString& complete,
                const QString& failed);
    void Log(const char* action, const device::TransferResult& r,
             const device::VerifyResult* verify = nullptr);

    Document& doc_;
    Dialogs& dialogs_;
    PortChoice& ports_;
    const DeviceAccess& device_;
    device::SimTime simTime_;
    std::filesystem::path log_;
    bool running_ = false;
    std::atomic<bool> cancel_{false};
};

}  // namespace zez
