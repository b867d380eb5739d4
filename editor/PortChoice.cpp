#include "editor/PortChoice.h"

#include <QFileInfo>
#include <algorithm>

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
    if (!device_.comNames) {
        // A device keeps its item; a new one takes the first free item, else one whose device
        // is gone, never the chosen one (that is shown as missing until the user chooses).
        std::vector<bool> placed(ports_.size());
        for (auto& item : items_)  // kept up to date: an adapter may be on another path now
            if (const device::PortInfo* port = device::FindIdentity(ports_, item)) {
                item = device::IdentityOf(*port);
                placed[static_cast<std::size_t>(port - ports_.data())] = true;
            }
        for (std::size_t p = 0; p < ports_.size(); ++p) {
            if (placed[p]) continue;
            const std::string id = device::IdentityOf(ports_[p]);
            auto free = std::find(items_.begin(), items_.end(), std::string());
            for (std::size_t i = 0; free == items_.end() && i < items_.size(); ++i)
                if (!device::FindIdentity(ports_, items_[i]) &&
                    !(kind_ == Kind::Com && static_cast<int>(i) + 1 == state_.ComPortNumber))
                    free = items_.begin() + static_cast<std::ptrdiff_t>(i);
            if (free != items_.end()) *free = id;
        }
    }
    emit Changed();
}

const device::PortInfo* PortChoice::OnItem(int index) const {
    if (index < 0 || index >= 8) return nullptr;
    if (device_.comNames) {
        const std::string name = "COM" + std::to_string(index + 1);
        const auto it = std::find_if(ports_.begin(), ports_.end(),
                                     [&](const device::PortInfo& p) { return p.path == name; });
        return it == ports_.end() ? nullptr : &*it;
    }
    return device::FindIdentity(ports_, items_[static_cast<std::size_t>(index)]);
}

QString PortChoice::ComCaption(int index) const {
    QString caption = QStringLiteral("COM%1").arg(index + 1);
    if (!device_.listPorts) return caption;
    const device::PortInfo* port = OnItem(index);
    if (device_.comNames) {
        const std::string adapter = port ? device::AdapterText(*port) : std::string();
        return adapter.empty()
                   ? caption
                   : caption + QStringLiteral("\t(%1)").arg(QString::fromStdString(adapter));
    }
    const std::string& id = items_[static_cast<std::size_t>(index)];
    if (id.empty()) return caption + QStringLiteral("\t(no port)");
    if (!port)
        return caption + QStringLiteral("\t%1 (missing)")
                             .arg(QString::fromStdString(device::IdentityText(id)));
    caption += QLatin1Char('\t') + QString::fromStdString(device::PortText(*port));
    if (unconfirmed_ && kind_ == Kind::Com && index + 1 == state_.ComPortNumber)
        caption += QStringLiteral(" (to be confirmed)");
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
    // Windows names its ports itself: COMn is whatever the system has under that name.
    if (!device_.listPorts || device_.comNames) return false;
    // A device kept on the item that is not there, or an earlier version's item without a port.
    const bool kept = !items_[static_cast<std::size_t>(state_.ComPortNumber - 1)].empty();
    return (kept || unconfirmed_) && !OnItem(state_.ComPortNumber - 1);
}

void PortChoice::SelectCom(int index) {
    state_.ComPortNumber = index + 1;
    kind_ = Kind::Com;
    unconfirmed_ = false;
    Chosen();
}

void PortChoice::AskOther() {
    // The ports the system lists now, so that one beyond COM1..COM8 can be typed as it is named.
    QString found;
    if (device_.listPorts)
        for (const auto& port : device_.listPorts())
            found += QStringLiteral("\n  %1").arg(QString::fromStdString(
                port.byId.empty() ? device::PortText(port)
                                  : port.byId + " (" + device::PortText(port) + ")"));
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
    const device::PortInfo named = device::ResolvePortName(ports_, path.toStdString());
    for (int i = 0; i < 8; ++i)
        if (const device::PortInfo* port = OnItem(i); port && port->path == named.path)
            return SelectCom(i);
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

void PortChoice::Confirm() {
    unconfirmed_ = false;
    Chosen();
}

void PortChoice::Chosen() {
    emit Changed();
    if (!session_) return;
    // On Windows the number is the port's name; elsewhere the device the item stands for.
    QString value = QStringLiteral("com:%1").arg(state_.ComPortNumber);
    if (kind_ == Kind::Com && !device_.comNames && !unconfirmed_)
        value = QStringLiteral("device:%1:%2")
                    .arg(state_.ComPortNumber)
                    .arg(QString::fromStdString(
                        items_[static_cast<std::size_t>(state_.ComPortNumber - 1)]));
    if (kind_ == Kind::Other) value = QStringLiteral("path:") + QString::fromStdString(otherPort_);
    if (kind_ == Kind::Emulated) value = QStringLiteral("emulated");
    session_->SetValue(QStringLiteral("port"), value);
}

void PortChoice::Restore(Session& session) {
    session_ = &session;
    const QString port = session.Value(QStringLiteral("port"));
    // The last choice stays chosen also when its port is missing now: it is shown as missing
    // rather than silently replaced by another.
    if (port == QStringLiteral("emulated")) {
        Refresh();
        SelectEmulated();
    } else if (port.startsWith(QStringLiteral("path:")) && port.size() > 5) {
        SelectPath(port.mid(5));
    } else if (port.startsWith(QStringLiteral("device:"))) {
        const int n = port.section(QLatin1Char(':'), 1, 1).toInt();
        if (n >= 1 && n <= 8) {
            items_[static_cast<std::size_t>(n - 1)] =
                port.section(QLatin1Char(':'), 2).toStdString();
            state_.ComPortNumber = n;
            kind_ = Kind::Com;
        }
        Refresh();
    } else if (port.startsWith(QStringLiteral("com:"))) {
        // Kept by an earlier version as a place in the list of ports (except on Windows, where
        // it is the port's name): the device now at that place is offered for confirmation.
        const int n = port.mid(4).toInt();
        if (n >= 1 && n <= 8) {
            state_.ComPortNumber = n;
            kind_ = Kind::Com;
            unconfirmed_ = !device_.comNames;
        }
        Refresh();
    } else {
        Refresh();
    }
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
    if (device_.comNames || !device_.listPorts)
        return QStringLiteral("COM%1").arg(state_.ComPortNumber);
    const device::PortInfo* port = OnItem(state_.ComPortNumber - 1);
    return port ? QString::fromStdString(port->path) : QString();
}

QString PortChoice::PortDescription() const {
    if (kind_ != Kind::Com) return CurrentPortName();
    QString item = QStringLiteral("COM%1").arg(state_.ComPortNumber);
    const device::PortInfo* port = OnItem(state_.ComPortNumber - 1);
    if (!port) return item;
    if (device_.comNames) {
        const std::string adapter = device::AdapterText(*port);
        return adapter.empty()
                   ? item
                   : item + QStringLiteral(" (%1)").arg(QString::fromStdString(adapter));
    }
    return item + QStringLiteral(": ") + QString::fromStdString(device::PortText(*port));
}

PortChoice::Target PortChoice::TransferTarget() const {
    Target t;
    if (kind_ == Kind::Emulated && emulator_) {
        t.emulated = true;
        t.port = "emulated";
        return t;
    }
    const int n = state_.ComPortNumber;
    if (kind_ == Kind::Other) {
        t.port = otherPort_;
    } else if (device_.comNames) {
        t.port = "COM" + std::to_string(n);
    } else if (const device::PortInfo* port = OnItem(n - 1)) {
        t.port = port->path;
        t.unconfirmed = unconfirmed_;
    }
    if (!device_.makePort || !device_.time) {
        t.error = "Serial ports are not available in this build.";
    } else if (kind_ == Kind::Com && missing() &&
               !items_[static_cast<std::size_t>(n - 1)].empty()) {
        t.error = "The adapter chosen as COM" + std::to_string(n) + " is not connected: " +
                  device::IdentityText(items_[static_cast<std::size_t>(n - 1)]) +
                  ".\r\nPlug it in, or choose another port under Connect. Nothing was sent.";
    } else if (t.port.empty()) {
        t.error = kind_ == Kind::Other ? "No port is chosen under Other Port."
                                       : "There is no serial port for COM" + std::to_string(n) +
                                             " on this computer.";
    }
    return t;
}

}  // namespace zez
