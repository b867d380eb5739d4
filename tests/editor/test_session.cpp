// Printing and PDF export from the editor, recent files, and recovery of unsaved changes after
// an editor ended without a clean exit.
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>

#include "EditorFixture.h"
#include "TestUtil.h"
#include "config/CdfFile.h"

namespace zez::test {
namespace {

class SessionTest : public ::testing::Test {
  protected:
    Storage InDir() const {
        return {QString::fromStdString(dir.File("settings.ini")),
                QString::fromStdString(dir.File("recovery"))};
    }
    std::unique_ptr<FrmZezUdiMain> Start(ProgramState& state, ScriptedDialogs& dialogs) {
        auto w = std::make_unique<FrmZezUdiMain>(state, dialogs);
        w->StartSession(InDir());
        return w;
    }
    QString File(const char* name) const { return QString::fromStdString(dir.File(name)); }
    int RecoveryFiles() const {
        return static_cast<int>(
            QDir(InDir().recoveryDir).entryList({QStringLiteral("*.CDF")}, QDir::Files).size());
    }
    TempDir dir;
};

int PdfPages(const QString& path) {
    const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
    if (pdfinfo.isEmpty()) return -1;
    QProcess p;
    p.start(pdfinfo, {path});
    p.waitForFinished(30000);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const int at = out.indexOf(QStringLiteral("Pages:"));
    return at < 0 ? 0 : out.mid(at + 6).section(QLatin1Char('\n'), 0, 0).trimmed().toInt();
}

TEST_F(SessionTest, PrintAndExportDrawEveryDiagramAndTheNote) {
    ProgramState state;
    ScriptedDialogs dialogs;
    auto w = Start(state, dialogs);
    w->OpenNamedFile(QString::fromStdString(std::string(ZEZ_EXAMPLES_DIR) + "/corridor.CDF"));
    w->printing().Print(true);  // the preview, cancelled
    dialogs.printTo = File("printed.pdf");
    w->printing().Print(false);
    EXPECT_EQ(dialogs.printRequests, (std::vector<bool>{true, false}));
    ASSERT_TRUE(QFile::exists(dialogs.printTo));
    dialogs.saveNames = {File("exported.pdf")};
    w->printing().ExportPdf();
    ASSERT_EQ(dialogs.saveRequests.back().initialName.right(12), "corridor.pdf");
    ASSERT_TRUE(QFile::exists(File("exported.pdf")));
    EXPECT_EQ(dialogs.boxes.back().text, "3 page(s) written to " + File("exported.pdf") + ".");
    if (PdfPages(File("exported.pdf")) < 0) GTEST_SKIP() << "poppler-utils not installed";
    EXPECT_EQ(PdfPages(File("exported.pdf")), 3);  // two diagrams and the note
    EXPECT_EQ(PdfPages(dialogs.printTo), 3);
    // A folder that cannot be written is reported; nothing else changes.
    dialogs.saveNames = {File("no/such/folder/x.pdf")};
    w->printing().ExportPdf();
    EXPECT_EQ(dialogs.boxes.back().icon, Icon::Critical);
    EXPECT_FALSE(state.ConfigChanged);
}

TEST_F(SessionTest, RecentFilesKeepTheLastEightAndDropMissingOnes) {
    ProgramState state;
    ScriptedDialogs dialogs;
    auto w = Start(state, dialogs);
    std::vector<QString> files;
    for (int i = 0; i < 10; ++i) {
        files.push_back(File(("f" + std::to_string(i) + ".CDF").c_str()));
        ASSERT_TRUE(SaveToFile(Config{}, QFile::encodeName(files.back()).toStdString()));
        w->OpenNamedFile(files.back());
    }
    QStringList recent = w->session()->Recent();
    ASSERT_EQ(recent.size(), 8);
    EXPECT_EQ(recent.front(), files[9]);
    EXPECT_EQ(recent.back(), files[2]);
    EXPECT_EQ(w->menus.mnuRecent->actions().size(), 8);
    // Choosing one asks like Open when there are changes, then opens it.
    w->imgSegment_DragDrop(0, 4);
    dialogs.answers = {Answer::No};
    w->files().OpenRecent(files[5]);
    EXPECT_EQ(w->document().fileName(), files[9]);
    EXPECT_EQ(dialogs.boxes.back().text, "Discard Any Changes?");
    dialogs.answers = {Answer::Yes};
    w->files().OpenRecent(files[5]);
    EXPECT_EQ(w->document().fileName(), files[5]);
    EXPECT_EQ(w->session()->Recent().front(), files[5]);
    // A file that is gone is said so and taken off the list.
    QFile::remove(files[7]);
    w->files().OpenRecent(files[7]);
    EXPECT_TRUE(dialogs.boxes.back().text.contains("no longer exists"));
    EXPECT_FALSE(w->session()->Recent().contains(files[7]));
    EXPECT_EQ(w->document().fileName(), files[5]);
}

TEST_F(SessionTest, UnsavedChangesOfAnEditorThatDidNotEndCleanlyAreOfferedBack) {
    const QString userFile = File("site.CDF");
    ASSERT_TRUE(SaveToFile(Config{}, QFile::encodeName(userFile).toStdString()));
    const auto userBytes = ReadBytes(QFile::encodeName(userFile).toStdString());
    Config edited;
    {
        ProgramState state;
        ScriptedDialogs dialogs;
        auto w = Start(state, dialogs);
        w->OpenNamedFile(userFile);
        w->recovery()->Autosave();
        EXPECT_EQ(RecoveryFiles(), 0);  // nothing unsaved yet
        w->imgSegment_DragDrop(17, 8);
        w->recovery()->Autosave();
        edited = state.record;
        EXPECT_EQ(RecoveryFiles(), 1);
        // The editor goes away without a clean exit.
    }
    {
        ProgramState state;
        ScriptedDialogs dialogs;
        dialogs.answers = {Answer::Yes};
        auto w = Start(state, dialogs);
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].title, "Recovery");
        EXPECT_TRUE(dialogs.boxes[0].text.contains(userFile));
        EXPECT_EQ(state.record, edited);
        EXPECT_TRUE(state.ConfigChanged);
        EXPECT_EQ(w->document().fileName(), userFile);
        EXPECT_EQ(ReadBytes(QFile::encodeName(userFile).toStdString()), userBytes);
        EXPECT_EQ(RecoveryFiles(), 1);  // now this editor's own copy
    }
    {
        ProgramState state;
        ScriptedDialogs dialogs;
        dialogs.answers = {Answer::No};  // discard it
        auto w = Start(state, dialogs);
        EXPECT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(state.record, Config{});
        EXPECT_EQ(RecoveryFiles(), 0);
        // An edit, then a clean exit: nothing is offered next time.
        w->imgSegment_DragDrop(3, 4);
        w->recovery()->Autosave();
        EXPECT_EQ(RecoveryFiles(), 1);
        dialogs.answers = {Answer::Yes};  // discard changes on exit
        w->close();
        EXPECT_EQ(RecoveryFiles(), 0);
    }
    ProgramState state;
    ScriptedDialogs dialogs;
    auto w = Start(state, dialogs);
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(SessionTest, ARunningEditorsCopyIsNotOfferedToAnother) {
    ProgramState a, b;
    ScriptedDialogs da, db;
    auto first = Start(a, da);
    first->imgSegment_DragDrop(3, 4);
    first->recovery()->Autosave();
    auto second = Start(b, db);
    EXPECT_TRUE(db.boxes.empty());
    EXPECT_EQ(RecoveryFiles(), 1);
}

}  // namespace
}  // namespace zez::test
