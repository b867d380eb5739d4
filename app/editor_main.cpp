#include <QApplication>

#include "device/QtSerialPort.h"
#include "editor/MainWindow.h"
#include "editor/QtDialogs.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZezUdi"));
    zez::ProgramState state;
    zez::QtDialogs dialogs;
    zez::device::SteadyTime time;
    zez::DeviceAccess device;
    device.makePort = [] { return std::make_unique<zez::device::QtSerialPort>(); };
    device.time = &time;
    device.listPorts = [] {
        std::vector<std::pair<std::string, std::string>> ports;
        for (const auto& p : zez::device::ListPorts()) ports.emplace_back(p.path, p.description);
        return ports;
    };
    zez::FrmZezUdiMain window(state, dialogs, std::move(device));
    dialogs.SetParent(&window);
    window.show();
    // zezudi [--port PATH] [FILE.CDF]
    QStringList args = QApplication::arguments();
    args.removeFirst();
    QString port;
    if (const auto at = args.indexOf(QStringLiteral("--port")); at >= 0 && at + 1 < args.size()) {
        port = args.at(at + 1);
        args.remove(at, 2);
    }
    if (!args.isEmpty()) window.OpenNamedFile(args.at(0));
    // After the file named on the command line: a restored copy is then what the window shows.
    window.StartSession(zez::Storage::Default());
    if (!port.isEmpty()) window.ports().SelectPath(port);
    return app.exec();
}
