#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/Console.h"
#include "app/RuntimeDir.h"
#include "app/Termination.h"
#include "editor/MainWindow.h"
#include "editor/QtDialogs.h"
#include "system/Clock.h"
#include "system/Parallel.h"
#include "system/QtSerialPort.h"

namespace {

// zezudi [--port PATH] [FILE.CDF]
struct Arguments {
    QString port, file;
};

// `here`: help and version are printed to standard output by this program itself, not left to
// Qt (which shows them in a box on Windows, where a window program has no console of its own).
Arguments Parse(const QCoreApplication& app, bool here = false) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The configuration tool for the Lumacor input module: draw, test, compile "
                       "and transfer the 8 ladder diagrams of a CDF file."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Start with the serial port PATH chosen."),
                                  QStringLiteral("PATH"));
    parser.addOption(port);
    parser.addPositionalArgument(QStringLiteral("FILE.CDF"),
                                 QStringLiteral("The configuration to open."),
                                 QStringLiteral("[FILE.CDF]"));
    if (here && parser.parse(QCoreApplication::arguments())) {
        QString text;
        if (parser.isSet(QStringLiteral("version")))
            text = QCoreApplication::applicationName() + QLatin1Char(' ') +
                   QCoreApplication::applicationVersion() + QLatin1Char('\n');
        else if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
            text = parser.helpText();
        if (!text.isEmpty()) {
            (void)std::fputs(text.toLocal8Bit().constData(), stdout);  // the caller ends here
            return {};
        }
    }
    parser.process(app);  // --help, --version and bad options print and end here
    const QStringList files = parser.positionalArguments();
    return {parser.value(port), files.isEmpty() ? QString() : files.at(0)};
}

void Name() {
    QCoreApplication::setApplicationName(QStringLiteral("ZezUdi"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZEZ_VERSION));
}

}  // namespace

int main(int argc, char** argv) {
    zez::EnsureRuntimeDir();
    zez::UseTaskRunner(zez::HelperTasks());
    // Help and version need no display: they are answered before any window system is touched.
    for (int i = 1; i < argc; ++i) {
        for (const char* ask : {"--help", "-h", "-?", "--help-all", "--version", "-v"}) {
            if (std::strcmp(argv[i], ask) != 0) continue;
            const bool console = zez::UseStartingConsole();
            QCoreApplication plain(argc, argv);
            Name();
            Parse(plain, console);
            return 0;
        }
    }
    QApplication app(argc, argv);
    Name();
    const Arguments args = Parse(app);
    zez::ProgramState state;
    zez::QtDialogs dialogs;
    zez::device::SteadyTime time;
    zez::DeviceAccess device;
    device.makePort = [] { return std::make_unique<zez::device::QtSerialPort>(); };
    device.time = &time;
    device.listPorts = [] { return zez::device::SystemPorts(); };
#ifdef Q_OS_WIN
    device.comNames = true;
#endif
    zez::FrmZezUdiMain window(state, dialogs, std::move(device));
    dialogs.SetParent(&window);
    dialogs.SetHelp([&window](const QString& text) { window.ShowHelpForMessage(text); });
    window.show();
    if (!args.file.isEmpty()) window.OpenNamedFile(args.file);
    // After the file named on the command line: a restored copy is then what the window shows.
    window.StartSession(zez::Storage::Default());
    if (!args.port.isEmpty()) window.ports().SelectPath(args.port);
    // Ended from outside, nothing unsaved is lost: the session manager's request (logoff,
    // shutdown) and a termination signal write the recovery copy first; a running transfer is
    // cancelled at its next exchange, and the question about unsaved changes is not asked.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window] { window.KeepUnsavedChanges(); });
    zez::OnTermination(&window, [&window](int sig) {
        window.KeepUnsavedChanges();
        window.transfers().Cancel();
        QCoreApplication::exit(128 + sig);
    });
    return app.exec();
}
