#include "system/QtSerialPort.h"

#include <QSerialPortInfo>
#include <algorithm>
#include <cerrno>
#include <system_error>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#endif

namespace zez::device {
namespace {

struct Settings {
    qint32 baud = 0;
    bool ok = false;
};

// "38400,n,8,1": the only settings the link uses.
Settings Parse(std::string_view text) {
    Settings s;
    const auto comma = text.find(',');
    if (comma == std::string_view::npos || text.substr(comma) != ",n,8,1") return s;
    try {
        s.baud = std::stoi(std::string(text.substr(0, comma)));
        s.ok = s.baud > 0;
    } catch (...) {
        s.ok = false;
    }
    return s;
}

// Qt reports a port held by another program and a port the user may not open alike; the
// system's permissions tell them apart.
std::string PermissionReason([[maybe_unused]] const std::string& name) {
#ifndef Q_OS_WIN
    // QSerialPort takes "ttyUSB0" for "/dev/ttyUSB0".
    const std::string path = !name.empty() && name[0] == '/' ? name : "/dev/" + name;
    if (::access(path.c_str(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM)) {
#ifdef Q_OS_LINUX
        return "permission denied: you may not use this port (add yourself to the dialout "
               "group with \"sudo adduser $USER dialout\", then log in again)";
#else
        return "permission denied: you may not use this port";
#endif
    }
#endif
    return "the port is in use by another program";
}

// A port that Qt could not open for another reason: a file or device that is no terminal
// (such as /dev/null) is no serial port, whatever the system's own words for it.
std::string OtherReason([[maybe_unused]] const std::string& name, const QString& text) {
#ifndef Q_OS_WIN
    const std::string path = !name.empty() && name[0] == '/' ? name : "/dev/" + name;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return "it is a folder, not a serial port";
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return "it is a file, not a serial port";
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        const bool terminal = ::isatty(fd) != 0;
        ::close(fd);
        if (!terminal) return "it is not a serial port";
    } else if (errno == ENXIO || errno == ENODEV) {
        // A name the system keeps for a port whose hardware is not there (a ttyS without its
        // chip, /dev/tty without a terminal).
        return "there is no device behind this name";
    }
#endif
    return "the system says \"" + text.toStdString() + "\"";
}

std::string Describe(QSerialPort::SerialPortError error, const QString& text,
                     const std::string& name) {
    switch (error) {
        case QSerialPort::DeviceNotFoundError:
            return "there is no such port";
        case QSerialPort::PermissionError:
            return PermissionReason(name);
        case QSerialPort::OpenError:
            return "the port is already open";
        // After a hang-up the error text is stale; the error kind is what counts.
        case QSerialPort::ResourceError:
        case QSerialPort::ReadError:
        case QSerialPort::WriteError:
            return "device disconnected";
        default:
            return OtherReason(name, text);
    }
}

}  // namespace

QtSerialPort::QtSerialPort() : port_(std::make_unique<QSerialPort>()) {}

QtSerialPort::~QtSerialPort() {
    Close();
}

Result<void> QtSerialPort::Failed(const char* what) {
    const auto error = port_->error();
    const std::string why = Describe(error, port_->errorString(), name_);
    // A port that failed keeps reporting; close it at the first failure.
    if (port_->isOpen()) port_->close();
    failed_ = true;
    return Error{std::string(what) + " " + name_ + ": " + why + ".", ErrorKind::Device};
}

Result<void> QtSerialPort::Open(const std::string& name, std::string_view settings) {
    Close();
    name_ = name;
    failed_ = false;
    const Settings s = Parse(settings);
    if (!s.ok)
        return Error{"Cannot use " + name + ": unknown settings " + std::string(settings) + ".",
                     ErrorKind::Usage};
    port_->setPortName(QString::fromStdString(name));
    if (!port_->open(QIODevice::ReadWrite)) return Failed("Cannot open");
#ifndef Q_OS_WIN
    // No other program may open the port while a transfer runs (an administrator's still can).
    if (::ioctl(static_cast<int>(port_->handle()), TIOCEXCL) != 0) {
        const int err = errno;
        port_->close();
        return Error{"Cannot open " + name + ": " +
                         (err == ENOTTY ? std::string("it is not a serial port")
                                        : "it cannot be kept for this program alone (" +
                                              std::generic_category().message(err) + ")") +
                         ".",
                     ErrorKind::Device};
    }
#endif
    if (!port_->setBaudRate(s.baud) || !port_->setDataBits(QSerialPort::Data8) ||
        !port_->setParity(QSerialPort::NoParity) || !port_->setStopBits(QSerialPort::OneStop) ||
        !port_->setFlowControl(QSerialPort::NoFlowControl))
        return Failed("Cannot set up");
    return {};
}

void QtSerialPort::Close() {
#ifdef Q_OS_LINUX
    if (lowLatencySet_ && port_->isOpen()) {
        serial_struct ss{};
        if (ioctl(static_cast<int>(port_->handle()), TIOCGSERIAL, &ss) == 0) {
            ss.flags = savedSerialFlags_;
            ioctl(static_cast<int>(port_->handle()), TIOCSSERIAL, &ss);
        }
    }
#endif
    lowLatencySet_ = false;
    if (port_->isOpen()) port_->close();
}

void QtSerialPort::DtrOff() {
    // Ports without modem lines (pseudo-terminals, some adapters) refuse; that is no failure.
    if (!port_->setDataTerminalReady(false)) port_->clearError();
}

void QtSerialPort::SetLowLatency() {
#ifdef Q_OS_LINUX
    // USB adapters otherwise hold short replies for their latency timer (often 16 ms).
    serial_struct ss{};
    const int fd = static_cast<int>(port_->handle());
    if (fd >= 0 && ioctl(fd, TIOCGSERIAL, &ss) == 0) {
        savedSerialFlags_ = ss.flags;
        ss.flags |= ASYNC_LOW_LATENCY;
        lowLatencySet_ = ioctl(fd, TIOCSSERIAL, &ss) == 0;
    }
#endif
}

void QtSerialPort::Pull() {
    // Takes in what the driver holds, without blocking.
    port_->waitForReadyRead(0);
    if (port_->error() == QSerialPort::TimeoutError) port_->clearError();
}

int QtSerialPort::Waiting() {
    // What WaitForData took in; it pulls whenever the driver has more.
    return port_->isOpen() ? static_cast<int>(port_->bytesAvailable()) : 0;
}

std::string QtSerialPort::ReadAll() {
    if (!port_->isOpen()) return {};
    // A reply that WaitForData already took in is read as it is; the next drain takes the rest.
    if (port_->bytesAvailable() == 0) Pull();
    return port_->readAll().toStdString();
}

Result<void> QtSerialPort::Write(std::string_view text) {
    if (failed_ || !port_->isOpen())
        return Error{"Cannot write to " + name_ + ": device disconnected.", ErrorKind::Device};
    const QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    if (port_->write(bytes) != bytes.size()) return Failed("Cannot write to");
    port_->flush();  // writes what the driver takes now; wait only for a remainder
    while (port_->bytesToWrite() > 0) {
        if (!port_->waitForBytesWritten(1000)) return Failed("Cannot write to");
    }
    return {};
}

Result<void> QtSerialPort::WaitForData(TimePoint deadline) {
    if (failed_ || !port_->isOpen())
        return Error{"Cannot read from " + name_ + ": device disconnected.", ErrorKind::Device};
    const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
    if (left <= 0) return {};
    if (port_->waitForReadyRead(static_cast<int>(std::max<long long>(1, left)))) return {};
    switch (port_->error()) {
        case QSerialPort::NoError:
        case QSerialPort::TimeoutError:
            port_->clearError();
            return {};
        default:
            return Failed("Cannot read from");
    }
}

std::vector<PortInfo> SystemPorts() {
    std::vector<PortInfo> ports;
    for (const auto& info : QSerialPortInfo::availablePorts()) {
#ifdef Q_OS_MACOS
        // Each port shows twice: tty.* waits for a carrier the adapter never raises, cu.* does not.
        if (info.portName().startsWith(QLatin1String("tty."))) continue;
#endif
        PortInfo p;
#ifdef Q_OS_WIN
        p.path = info.portName().toStdString();
#else
        p.path = info.systemLocation().toStdString();
#endif
        p.serialNumber = info.serialNumber().trimmed().toStdString();
        p.description = info.description().trimmed().toStdString();
        p.manufacturer = info.manufacturer().trimmed().toStdString();
        if (info.hasVendorIdentifier()) p.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier()) p.productId = info.productIdentifier();
        ports.push_back(std::move(p));
    }
#ifdef Q_OS_LINUX
    AttachByIdNames(ports, "/dev/serial/by-id");
#endif
    SortPorts(ports);
    return ports;
}

}  // namespace zez::device
