#include "editor/PortChoice.h"

#include <QFileInfo>

#include "editor/Session.h"

namespace zez {

PortChoice::PortChoice(ProgramState& state, Dialogs& dialogs, const DeviceAccess& device,
                       QObject* parent)
    : QObject(parent), state_(state), dialogs_(dialogs), device_(device) {
    state_.ComPortNumber = 1;
}

void PortChoice::Refresh() {
    if (!device_.listPorts) return;
    ports_ = device_.listPorts();
    emit Changed();
}

QString PortChoice::ComCaption(int index) const {
    QString caption = QStringLiteral("COM%1").arg(index + 1);
    if (!device_.listPorts) return caption;
    if (index >= static_cast<int>(ports_.size())) return caption + QStringLiteral("\t(no port)");
    const auto& [path, what] = ports_[static_cast<std::size_t>(index)];
    caption += QLatin1Char('\t') + QString::fromStdString(path);
    if (!what.empty()) caption += QStringLiteral(" (%1)").arg(QString::fromStdString(what));
    return caption;
}

QString PortChoice::OtherCaption() const {
    return kind_ == Kind::Other ? QStringLiteral("&Other Port...\t") + CurrentPortName()
                                : QStringLiteral("&Other Port...");
}

bool PortChoice::missing() const {
    switch (kind_) {
        case Kind::Emulated:
            return false;
        case Kind::Other:  // a path that is not there; a name such as COM9 is the system's
            return QString::fromStdString(otherPort_).startsWith(QLatin1Char('/')) &&
                   !QFileInfo::exists(QString::fromStdString(otherPort_));
        case Kind::Com:
            break;
    }
    return device_.listPorts && PortForMenuEntry().empty();
}

void PortChoice::SelectCom(int index) {
    state_.ComPortNumber = index + 1;
    kind_ = Kind::Com;
    Chosen();
}

void PortChoice::AskOther() {
    // The ports the system lists now, so that one beyond COM1..COM8 can be typed as it is named.
    QString found;
    if (device_.systemPorts)
        for (const auto& [path, device] : device_.systemPorts())
            found += QStringLiteral("\n  %1%2")
                         .arg(QString::fromStdString(path),
                              device.empty()
                                  ? QString()
                                  : QStringLiteral(" (%1)").arg(QString::fromStdString(device)));
    const QString path = dialogs_.AskText(
        QStringLiteral("Serial port (a path such as /dev/ttyUSB0 or /dev/pts/3, or a name such "
                       "as COM9):") +
            (found.isEmpty() ? QString() : QStringLiteral("\nPorts found:") + found),
        QStringLiteral("Other Port"), QString::fromStdString(otherPort_));
    if (path.isEmpty()) {
        emit Changed();  // the choice stays what it was
        return;
    }
    SelectPath(path);
}

void PortChoice::SelectPath(const QString& path) {
    Refresh();
    for (int i = 0; i < 8 && i < static_cast<int>(ports_.size()); ++i)
        if (ports_[static_cast<std::size_t>(i)].first == path.toStdString()) return SelectCom(i);
    otherPort_ = path.toStdString();
    kind_ = Kind::Other;
    Chosen();
}

void PortChoice::SelectEmulated() {
    // A device inside the program, so that download, upload and compare can be tried without
    // hardware; it keeps what it was sent until the program ends.
    if (!emulator_) emulator_ = std::make_unique<device::DeviceEmulator>();
    kind_ = Kind::Emulated;
    Chosen();
}

void PortChoice::Chosen() {
    emit Changed();
    if (!session_) return;
    QString value = QStringLiteral("com:%1").arg(state_.ComPortNumber);
    if (kind_ == Kind::Other) value = QStringLiteral("path:") + QString::fromStdString(otherPort_);
    if (kind_ == Kind::Emulated) value = QStringLiteral("emulated");
    session_->SetValue(QStringLiteral("port"), value);
}

void PortChoice::Restore(Session& session) {
    session_ = &session;
    const QString port = session.Value(QStringLiteral("port"));
    Refresh();
    // The last choice stays chosen also when its port is missing now: it is shown as missing
    // rather than silently replaced by COM1.
    if (port == QStringLiteral("emulated")) {
        SelectEmulated();
    } else if (port.startsWith(QStringLiteral("path:")) && port.size() > 5) {
        SelectPath(port.mid(5));
    } else if (port.startsWith(QStringLiteral("com:"))) {
        const int n = port.mid(4).toInt();
        if (n >= 1 && n <= 8) SelectCom(n - 1);
    }
}

std::string PortChoice::PortForMenuEntry() const {
    const auto n = static_cast<std::size_t>(state_.ComPortNumber - 1);
    return n < ports_.size() ? ports_[n].first : std::string();
}

QString PortChoice::CurrentPortName() const {
    switch (kind_) {
        case Kind::Emulated:
            return QStringLiteral("Emulated device");
        case Kind::Other:
            return QString::fromStdString(otherPort_) +
                   (missing() ? QStringLiteral(" (missing)") : QString());
        case Kind::Com:
            break;
    }
    if (missing()) return QStringLiteral("COM%1 (missing)").arg(state_.ComPortNumber);
    return QString::fromStdString(PortForMenuEntry());
}

PortChoice::Target PortChoice::TransferTarget() const {
    Target t;
    if (kind_ == Kind::Emulated && emulator_) {
        t.emulated = true;
        t.port = "emulated";
        return t;
    }
    t.port = kind_ == Kind::Other ? otherPort_ : PortForMenuEntry();
    if (t.port.empty() || !device_.makePort || !device_.time)
        t.error = kind_ == Kind::Other
                      ? "No port is chosen under Other Port."
                      : "There is no serial port for COM" + std::to_string(state_.ComPortNumber) +
                            " on this computer.";
    return t;
}

}  // namespace zez
