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
    const QStringList args = QApplication::arguments();
    if (args.size() > 1) window.OpenNamedFile(args.at(1));
    // After the file named on the command line: a restored copy is then what the window shows.
    window.StartSession(zez::Storage::Default());
    return app.exec();
}
