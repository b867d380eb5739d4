// What the editor says is current and said once: the status bar after a save, an open and a
// compile, long messages cut at a word; the formula field typed over.
#include <QApplication>
#include <QDialog>
#include <QLayout>
#include <QLineEdit>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include "EditorFixture.h"
#include "editor/QtDialogs.h"
#include "logic/Layout.h"

namespace zez::test {
namespace {

TEST_F(EditorTest, TheStatusBarSaysWhatIsCurrentOnceAndCutsLongTextsAtAWord) {
    TempDir dir;
    dialogs.saveNames = {QString::fromStdString(dir.File("a.CDF"))};
    window->files().SaveAs();
    const QLabel* said = window->status().message();
    EXPECT_EQ(said->text(), "Saved a.CDF");
    window->OpenNamedFile(QStringLiteral(ZEZ_EXAMPLES_DIR "/corridor.CDF"));
    EXPECT_EQ(said->text(), "Opened corridor.CDF");
    window->mnuCompile_Click();
    QStringList bar;
    for (const QLabel* label : window->statusBar()->findChildren<QLabel*>()) bar << label->text();
    EXPECT_EQ(bar.join(QLatin1Char(' ')).count(QStringLiteral("Compiled")), 1)
        << bar.join(' ').toStdString();

    window->show();
    window->statusBar()->layout()->activate();
    const QString full = QStringLiteral("Saved corridor.CDF ").repeated(30) + QStringLiteral("end");
    window->status().Say(full);
    const QString shown = said->text();
    ASSERT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(full.startsWith(shown.chopped(1)) && full[shown.size() - 1] == QLatin1Char(' '));
    EXPECT_LE(said->fontMetrics().horizontalAdvance(shown), said->contentsRect().width());
    EXPECT_EQ(said->toolTip(), full);
    window->status().Say(QStringLiteral("Opened b.CDF"));
    EXPECT_TRUE(said->text() == "Opened b.CDF" && said->toolTip().isEmpty());
}

// Draw From Formula starts from the output's own formula, chosen so that typing replaces it.
TEST(FormulaField, WhatIsTypedReplacesTheFormulaShown) {
    QtDialogs real;
    QString typed;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        poll.stop();
        QTest::keyClicks(dialog->findChild<QLineEdit*>(), "(I1 | I2)");
        typed = dialog->findChild<QLineEdit*>()->text();
        dialog->reject();
    });
    poll.start(10);
    real.AskDrawing(QStringLiteral("Draw"), QStringLiteral("0"),
                    [](const QString& f) { return DrawFormula(f.toStdString()); });
    EXPECT_EQ(typed, "(I1 | I2)");
}

}  // namespace
}  // namespace zez::test
