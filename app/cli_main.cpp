#include <QCoreApplication>
#include <iostream>

#include "app/Cli.h"
#include "device/QtSerialPort.h"

int main(int argc, char** argv) {
    // QSerialPort needs an application object for its thread, though no event loop runs.
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    zez::device::SteadyTime time;
    zez::cli::Environment env;
    env.makePort = [] { return std::make_unique<zez::device::QtSerialPort>(); };
    env.time = &time;
    env.in = &std::cin;
    return zez::cli::Run(args, std::cout, std::cerr, env);
}
