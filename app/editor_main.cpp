#include <QApplication>

#include "editor/MainWindow.h"
#include "editor/QtDialogs.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZezUdi"));
    zez::ProgramState state;
    zez::QtDialogs dialogs;
    zez::FrmZezUdiMain window(state, dialogs);
    dialogs.SetParent(&window);
    window.show();
    const QStringList args = QApplication::arguments();
    if (args.size() > 1) window.OpenNamedFile(args.at(1));
    return app.exec();
}
