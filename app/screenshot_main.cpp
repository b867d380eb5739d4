// Makes docs/guide/images/editor.png: the editor with an example, after a Test that lit part of the
// circuit. Run under a display (scripts/screenshot uses Xvfb).
// Usage: zezudi-screenshot EXAMPLE.CDF OUTPUT.png OUTPUT_NUMBER SIGNAL...

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <iostream>

#include "editor/MainWindow.h"

namespace {

// Answers every box with OK or Yes, and remembers the last text.
class QuietDialogs final : public zez::Dialogs {
  public:
    zez::Answer Message(const QString& text, const QString&, zez::Buttons b, zez::Icon) override {
        last = text;
        return b == zez::Buttons::YesNo ? zez::Answer::Yes : zez::Answer::Ok;
    }
    QString OpenFileName(const zez::FileDialogRequest&) override { return {}; }
    QString SaveFileName(const zez::FileDialogRequest&) override { return {}; }
    bool Print(QPrinter&, bool, const std::function<void(QPrinter*)>&) override { return false; }
    QString AskText(const QString&, const QString&, const QString&) override { return {}; }
    int Choose(const QString&, const QString&, const QStringList&) override { return -1; }
    std::optional<zez::OutputSegments> AskDrawing(const QString&, const QString&,
                                                  const Drawer&) override {
        return std::nullopt;
    }
    QString last;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 4) {
        std::cerr << "usage: zezudi-screenshot EXAMPLE.CDF OUTPUT.png N SIGNAL...\n";
        return 2;
    }
    zez::ProgramState state;
    QuietDialogs dialogs;
    zez::FrmZezUdiMain window(state, dialogs);
    window.show();
    window.OpenNamedFile(args[1]);
    window.client().cboOutput->setCurrentIndex(args[3].toInt() - 1);
    for (int i = 4; i < args.size(); ++i) {
        const QString s = args[i].toUpper();
        const int n = s.mid(1).toInt();
        window.client().chkIn[s.startsWith(QLatin1Char('P')) ? n + 7 : n - 1]->setChecked(true);
    }
    window.cmdTest_Click();
    std::printf("%s\n", qPrintable(dialogs.last));
    int rc = 1;
    QTimer::singleShot(500, [&] {
        rc = window.grab().save(args[2]) ? 0 : 1;
        app.quit();
    });
    app.exec();
    return rc;
}
