#include <QCoreApplication>
#include <QDate>
#include <QGuiApplication>
#include <QStandardPaths>
#include <iostream>
#include <memory>

#include "app/Cli.h"
#include "app/CliCommon.h"
#include "app/RuntimeDir.h"
#include "export/DiagramDrawing.h"
#include "export/LocalPath.h"
#include "system/Clock.h"
#include "system/Parallel.h"
#include "system/QtSerialPort.h"

int main(int argc, char** argv) {
    zez::EnsureRuntimeDir();
    zez::UseTaskRunner(zez::HelperTasks());
    // QSerialPort needs an application object for its thread, though no event loop runs; the
    // drawing for export needs fonts, which come with a (windowless) GUI application.
    // Without a display (a Linux console, a build machine) the drawing uses the offscreen
    // platform; elsewhere the system's own, which is the one a Windows or macOS install ships.
    const bool drawing = argc > 1 && std::string(argv[1]) == "export";
#ifdef Q_OS_LINUX
    if (drawing && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    std::unique_ptr<QCoreApplication> app;
    if (drawing)
        app = std::make_unique<QGuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    // Qt has the arguments from the wide command line on Windows: UTF-8 here, never the code page.
    std::vector<std::string> args;
#ifdef Q_OS_WIN
    for (const QString& a : QCoreApplication::arguments().mid(1)) args.push_back(a.toStdString());
#else
    args.assign(argv + 1, argv + argc);
#endif
    zez::device::SteadyTime time;
    zez::cli::Environment env;
    env.makePort = [] { return std::make_unique<zez::device::QtSerialPort>(); };
    env.time = &time;
    env.listPorts = [] { return zez::device::SystemPorts(); };
    env.in = &std::cin;
    env.errIsTerminal = zez::StderrIsTerminal();
    QCoreApplication::setApplicationName(QStringLiteral("ZezUdi"));
    // The editor's folder: versions kept by either are listed by both.
    env.versionsDir =
        zez::LocalPath(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                       QStringLiteral("/versions"));
    env.transferLog =
        zez::LocalPath(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                       QStringLiteral("/transfers.log"));
    env.today = QDate::currentDate().toString(Qt::ISODate).toStdString();
    env.exportFile = [today = env.today](const zez::cli::ExportJob& job) -> zez::Result<int> {
        zez::PrintRequest r{job.config, QString::fromStdString(job.file),
                            QString::fromStdString(today)};
        const QString out = zez::QtPath(zez::cli::PathArg(job.out));
        if (job.pdf) return zez::ExportPdf(r, out, job.letter ? QPageSize::Letter : QPageSize::A4);
        if (auto w = zez::ExportSvg(r, job.output, out); !w) return zez::Error{w.error()};
        return 1;
    };
    return zez::cli::Run(args, std::cout, std::cerr, env);
}
