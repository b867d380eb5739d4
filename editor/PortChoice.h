#pragma once
// Which port the transfers use: one of COM1..COM8 (on Linux and macOS the system's ports in
// order), a port the user names, or a device emulated inside the program. The choice is
// remembered between runs.

#include <QObject>
#include <QString>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "device/Emulator.h"
#include "editor/Dialogs.h"
#include "editor/ProgramState.h"

namespace zez {

class Session;

class PortChoice : public QObject {
    Q_OBJECT
  public:
    enum class Kind { Com, Other, Emulated };
    PortChoice(ProgramState& state, Dialogs& dialogs, const DeviceAccess& device,
               QObject* parent = nullptr);

    // Re-reads the system's serial ports.
    void Refresh();
    // The caption of COM item `index`: the port behind it and what it is.
    QString ComCaption(int index) const;
    QString OtherCaption() const;

    void SelectCom(int index);
    // Other Port...: asks for a path; cancelled, the choice stays.
    void AskOther();
    // A COM item when the path is one of theirs, else Other.
    void SelectPath(const QString& path);
    void SelectEmulated();
    // The last choice, when it is still there.
    void Restore(Session& session);

    Kind kind() const { return kind_; }
    // The chosen port is not on this computer now.
    bool missing() const;
    int comNumber() const { return state_.ComPortNumber; }
    // The port transfers use now, as the user would name it ("Emulated device" for the built-in).
    QString CurrentPortName() const;
    device::DeviceEmulator* emulator() const { return emulator_.get(); }

    // What a transfer opens: the emulator, or a port path; `error` when there is none.
    struct Target {
        bool emulated = false;
        std::string port;
        std::string error;
    };
    Target TransferTarget() const;

  signals:
    void Changed();

  private:
    std::string PortForMenuEntry() const;
    void Chosen();

    ProgramState& state_;
    Dialogs& dialogs_;
    const DeviceAccess& device_;
    Session* session_ = nullptr;
    std::vector<std::pair<std::string, std::string>> ports_;
    Kind kind_ = Kind::Com;
    std::string otherPort_;
    std::unique_ptr<device::DeviceEmulator> emulator_;
};

}  // namespace zez
