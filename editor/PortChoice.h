#pragma once
// Which port the transfers use: one of COM1..COM8, a port the user names, or a device emulated
// inside the program. On Windows COM1..COM8 are the system's names; elsewhere each item stands
// for a device by what identifies it (its /dev/serial/by-id name, or its adapter's serial
// number), never by a place in a list: an item keeps its device for the run, and a device that
// is gone is shown as missing there rather than replaced. The choice is remembered between runs.

#include <QObject>
#include <QString>
#include <array>
#include <memory>
#include <string>
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

    // Re-reads the system's serial ports; a device not yet on an item takes a free one.
    void Refresh();
    // The caption of COM item `index`: the port behind it and its adapter, or missing.
    QString ComCaption(int index) const;
    QString OtherCaption() const;

    void SelectCom(int index);
    // Other Port...: asks for a path; cancelled, the choice stays.
    void AskOther();
    // The COM item that stands for the port `path` names, else Other.
    void SelectPath(const QString& path);
    void SelectEmulated();
    // The last choice; a device that is missing now stays chosen, shown as missing.
    void Restore(Session& session);

    Kind kind() const { return kind_; }
    // The chosen port is not on this computer now.
    bool missing() const;
    int comNumber() const { return state_.ComPortNumber; }
    // The port transfers use now, as the user would name it ("Emulated device" for the built-in).
    QString CurrentPortName() const;
    // The item, the port and its adapter, as a question before a transfer names them.
    QString PortDescription() const;
    device::DeviceEmulator* emulator() const { return emulator_.get(); }

    // What a transfer opens: the emulator, or a port path; `error` when there is none.
    // `unconfirmed`: the item was remembered by an earlier version by its place in the list of
    // ports, which may now be another device; the user confirms it before anything is sent.
    struct Target {
        bool emulated = false;
        bool unconfirmed = false;
        std::string port;
        std::string error;
    };
    Target TransferTarget() const;
    // The user said the device now on the chosen item is the one meant: it is kept as such.
    void Confirm();

  signals:
    void Changed();

  private:
    const device::PortInfo* OnItem(int index) const;
    void Chosen();

    ProgramState& state_;
    Dialogs& dialogs_;
    const DeviceAccess& device_;
    Session* session_ = nullptr;
    std::vector<device::PortInfo> ports_;
    // What each COM item stands for (an identity; empty: nothing yet). Not used with comNames.
    std::array<std::string, 8> items_;
    bool unconfirmed_ = false;
    Kind kind_ = Kind::Com;
    std::string otherPort_;
    std::unique_ptr<device::DeviceEmulator> emulator_;
};

}  // namespace zez
