// New, Open, Save, Save As, the exit question, recent files and recovery copies, on the document
// without a window.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QLockFile>
#include <QMessageBox>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <utility>

#include "EditorFixture.h"
#include "TestUtil.h"
#include "config/ConfigText.h"
#include "editor/QtDialogs.h"
#include "system/CdfFile.h"
#include "system/Versions.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zez::test {
namespace {

class FileFlowTest : public FlowTest {
  protected:
    QString Path(const char* name) const { return QString::fromStdString(dir.File(name)); }
    // A file holding a configuration with `code` in segment 0 of output 1.
    QString Saved(const char* name, int code) {
        Config c;
        c.SegType[0][0] = static_cast<int16_t>(code);
        EXPECT_TRUE(SaveToFile(c, dir.File(name)));
        return Path(name);
    }
    // An edit on output 3, which is then shown.
    void EditSomething() {
        Drop(5, 12, 2);
        ASSERT_TRUE(state.ConfigChanged);
    }
    Storage InDir() const { return StorageIn(dir); }
    int RecoveryFiles() const {
        return static_cast<int>(
            QDir(InDir().recoveryDir).entryList({QStringLiteral("*.CDF")}, QDir::Files).size());
    }
    TempDir dir;
};

TEST_F(FileFlowTest, NewAsksOnlyWhenChangedAndKeepsFileNameAndFlag) {
    EditSomething();
    const Config edited = state.record;
    dialogs.answers = {Answer::No};
    files.New();
    ExpectBox(Last(), "Discard Changes?", "New", Buttons::YesNo, Icon::None);
    EXPECT_TRUE(state.record == edited && doc.output() == 2 && restarts == 0);

    doc.Compile({});
    dialogs.answers = {Answer::Yes};
    files.New();
    EXPECT_TRUE(state.record == Config{} && state.ConfigChanged);  // New leaves the flag
    EXPECT_TRUE(doc.fileName() == "None" && doc.output() == 0 && !doc.compiled() && restarts == 1);
    dialogs.answers = {Answer::No};  // still changed, so Exit asks again
    EXPECT_TRUE(!files.MayExit() && Last().title == "Exit Program");
}

TEST_F(FileFlowTest, OpenRefusedOrCancelledChangesNothingButTheView) {
    EditSomething();
    const Config edited = state.record;
    doc.Compile({});
    dialogs.answers = {Answer::No};
    files.Open();
    ExpectSaid(Last(), "Discard Any Changes?", "Open", Icon::Question);
    EXPECT_TRUE(dialogs.openRequests.empty() && !files.dialogPathSet());
    // Cancelled dialogs: an empty name, or the default name handed back.
    for (const QString& cancel : {QString(), FileFlow::DefaultDialogName()}) {
        dialogs.answers = {Answer::Yes};
        dialogs.openNames = {cancel};
        files.Open();
    }
    EXPECT_TRUE(state.record == edited && state.ConfigChanged && doc.fileName() == "None");
    // Whatever the answers, output 1 shown and not compiled.
    EXPECT_TRUE(doc.output() == 0 && !doc.compiled() && restarts == 3);
    ASSERT_EQ(dialogs.openRequests.size(), 2u);
    EXPECT_TRUE(dialogs.openRequests[0].initialName == FileFlow::DefaultDialogName() &&
                dialogs.openRequests[0].mustExist);
    EXPECT_EQ(dialogs.openRequests[0].filter,
              "Lumacor Zaruzizivav Data Files (*.CDF)|*.CDF|All Files (*.*)|*.*");
    EXPECT_TRUE(dialogs.openRequests[1].initialName.isEmpty());
}

TEST_F(FileFlowTest, OpenLoadsClearsTheFlagAndWarnsOnceAboutValuesOutsideTheCodes) {
    EditSomething();
    dialogs.answers = {Answer::Yes};
    dialogs.openNames = {Saved("a.CDF", 7)};
    files.Open();
    EXPECT_TRUE(state.record.SegType[0][0] == 7 && !state.ConfigChanged &&
                doc.fileName() == Path("a.CDF") && doc.undoStack()->count() == 0);

    Config c;
    c.SegType[1][3] = 40;
    c.SegInput[2][3] = -7;
    c.SegInput[2][4] = 16;
    ASSERT_TRUE(SaveToFile(c, dir.File("odd.CDF")));
    dialogs.boxes.clear();
    files.OpenNamed(Path("odd.CDF"));  // a file named at the start goes the same way
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    ExpectSaid(Last(), "3 segment(s)", "Open", Icon::Warning);
    EXPECT_TRUE(state.record == c && !state.ConfigChanged);
}

TEST_F(FileFlowTest, FailedOpenSaysWhyAndKeepsEverything) {
    const QString good = Saved("good.CDF", 5);
    files.OpenNamed(good);
    EditSomething();
    const Config edited = state.record;
    test::WriteBytes(dir.File("short.CDF"), std::vector<uint8_t>(100, 4));
    const std::pair<QString, const char*> cases[] = {
        {Path("missing.CDF"), "No such file"},
        {Path("short.CDF"), "100 bytes"},
        {QString::fromStdString(dir.path().string()), "directory"}};
    for (const auto& [path, says] : cases) {
        dialogs.boxes.clear();
        dialogs.answers = {Answer::Yes};
        dialogs.openNames = {path};
        files.Open();
        ASSERT_EQ(dialogs.boxes.size(), 2u) << path.toStdString();
        ExpectSaid(Last(), "", "Open", Icon::Critical);
        EXPECT_TRUE(Last().text.contains(path) && Last().text.contains(says))
            << Last().text.toStdString();
        EXPECT_TRUE(state.record == edited && doc.fileName() == good && state.ConfigChanged);
    }
}

// Compare With File: against a CDF file or a text form; nothing changes, whatever it finds.
TEST_F(FileFlowTest, CompareWithFileSaysWhatDiffers) {
    files.OpenNamed(Saved("a.CDF", 8));
    Drop(1, 4);
    const Config shown = state.record;
    std::ofstream(dir.File("b.zez")) << ConfigToText(shown);
    dialogs.openNames = {Path("b.zez"), Path("a.CDF"), Path("missing.CDF"), QString()};
    for (const auto& [icon, says] : {std::pair{Icon::Information, "LC Input 1: same\r\n"},
                                     {Icon::Warning, "same function, diagram differs in 1 segment"},
                                     {Icon::Critical, "missing.CDF"}}) {
        files.CompareWithFile();
        ExpectSaid(Last(), "", "Compare With File", icon);
        EXPECT_TRUE(Last().text.contains(says)) << Last().text.toStdString();
    }
    const auto boxes = dialogs.boxes.size();
    files.CompareWithFile();  // cancelled
    EXPECT_TRUE(dialogs.boxes.size() == boxes && state.record == shown && state.ConfigChanged);
}

TEST_F(FileFlowTest, SaveAsksForANameOnceThenWritesThere) {
    dialogs.saveNames = {QString()};  // cancelled
    files.SaveAs();
    EXPECT_TRUE(files.dialogPathSet());
    EXPECT_EQ(dialogs.saveRequests.back().initialName, FileFlow::DefaultDialogName());
    EXPECT_FALSE(dialogs.saveRequests.back().mustExist);
    dialogs.openNames = {QString()};
    files.Open();  // the default name is given once
    EXPECT_TRUE(dialogs.openRequests.back().initialName.isEmpty());
    EditSomething();
    dialogs.saveNames = {QString()};  // cancelled: nothing written
    files.Save();
    EXPECT_TRUE(state.ConfigChanged && std::filesystem::is_empty(dir.path()) && saveEnds == 2);

    const QString file = Path("first.CDF");
    dialogs.saveNames = {file};
    files.Save();
    EXPECT_TRUE(!state.ConfigChanged && doc.fileName() == file);
    Drop(9, 4);
    files.Save();  // no dialog this time
    EXPECT_TRUE(dialogs.saveRequests.size() == 3u && !state.ConfigChanged);
    EXPECT_EQ(LoadFromFile(file.toStdString()).value().config, state.record);
    // New keeps the name: Save then writes the emptied record there without a question.
    files.New();
    files.Save();
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_TRUE(LoadFromFile(file.toStdString()).value().config == Config{} && saveEnds == 5);
}

// Save asks before it replaces a file that another program changed since it was opened or saved
// here; No writes nothing and keeps the flag.
TEST_F(FileFlowTest, SaveAsksBeforeReplacingAFileChangedElsewhere) {
    const QString file = Saved("site.CDF", 6);
    files.OpenNamed(QDir::fromNativeSeparators(file));  // as a file dialog names it on Windows
    EditSomething();
    Saved("site.CDF", 9);  // another editor saved it meanwhile
    const auto theirs = ReadBytes(file.toStdString());
    dialogs.answers = {Answer::No};
    files.Save();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    ExpectSaid(Last(), file + " was changed by another program", "Save", Icon::Warning);
    EXPECT_TRUE(state.ConfigChanged && ReadBytes(file.toStdString()) == theirs);
    dialogs.answers = {Answer::Yes};
    files.Save();
    EXPECT_FALSE(state.ConfigChanged);
    EXPECT_EQ(LoadFromFile(file.toStdString()).value().config, state.record);
    Drop(1, 4);
    files.Save();  // this editor wrote it last: no question
    EXPECT_EQ(dialogs.boxes.size(), 2u);
}

// A file that holds no configuration (a picture opened through All Files) is replaced only
// after a question, and kept; a bare name gets .CDF; the dialogs start at the file shown.
TEST_F(FileFlowTest, SavingOverWhatIsNoConfigurationAsksFirstAndKeepsIt) {
    Session session(InDir());
    files.SetSession(&session);
    const std::vector<uint8_t> picture(20000, 0x89);
    test::WriteBytes(dir.File("photo.png"), picture);
    files.OpenNamed(Path("photo.png"));
    EditSomething();
    dialogs.answers = {Answer::No, Answer::Yes};
    for (const bool no : {true, false}) {
        files.Save();
        ExpectSaid(Last(), Path("photo.png") + " does not hold a configuration", "Save",
                   Icon::Warning);
        EXPECT_TRUE(state.ConfigChanged == no &&
                    (ReadBytes(dir.File("photo.png")) == picture) == no);
    }
    const auto kept = ListVersions(InDir().versionsDir.toStdString(), dir.File("photo.png"));
    EXPECT_TRUE(kept.size() == 1 && ReadBytes(kept[0].path.string()) == picture);
    dialogs.saveNames = {Path("mine"), Path("mine")};
    dialogs.answers = {Answer::No};
    for (int i = 0; i < 2; ++i) files.SaveAs();  // the second asks about mine.CDF
    EXPECT_EQ(dialogs.saveRequests[0].initialName, Path("photo.png"));
    ExpectSaid(Last(), Path("mine.CDF") + " already exists.", "Save As", Icon::Warning);
    EXPECT_TRUE(doc.fileName() == Path("mine.CDF") && !std::filesystem::exists(dir.File("mine")));
    dialogs.openNames = {QString()};
    files.Open();
    EXPECT_EQ(dialogs.openRequests.back().initialName, Path("mine.CDF"));
    // A copy that cannot be kept is asked about first; No writes nothing.
    std::filesystem::remove_all(InDir().versionsDir.toStdString());
    test::WriteBytes(InDir().versionsDir.toStdString(), {1});  // a file where the folder goes
    const auto before = ReadBytes(dir.File("mine.CDF"));
    EditSomething();
    dialogs.answers = {Answer::No};
    files.Save();
    ExpectSaid(Last(), "The previous version of " + Path("mine.CDF") + " could not be kept", "Save",
               Icon::Warning);
    EXPECT_TRUE(state.ConfigChanged && ReadBytes(dir.File("mine.CDF")) == before);
}

// Save As onto a file that is there, through the real dialogs: one question, the one that says
// what the file holds; No leaves the file as it was.
TEST_F(FileFlowTest, SaveAsOntoAFileThatIsThereAsksOnce) {
    test::WriteBytes(dir.File("photo.png"), std::vector<uint8_t>(300, 0x89));
    Saved("site.CDF", 6);
    QtDialogs qt;
    FileFlow flow(doc, qt);
    EditSomething();
    for (const auto& [file, says] : {std::pair{"photo.png", " does not hold a configuration"},
                                     {"site.CDF", " already exists."}}) {
        const auto before = ReadBytes(dir.File(file));
        QStringList asked;
        bool chosen = false;
        QTimer driver;
        QObject::connect(&driver, &QTimer::timeout, [&, name = Path(file)] {
            QWidget* shown = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(shown)) {
                asked << box->text();
                box->button(QMessageBox::No)->click();
            } else if (auto* dialog = qobject_cast<QFileDialog*>(shown)) {
                if (std::exchange(chosen, true)) return dialog->reject();  // it asked and stayed
                // Typed, as a person does: selectFile races the dialog's own loading of its
                // folder, which may put its initial name back.
                dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
                // Outside this call: the timer does not fire again while its call runs.
                QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            }
        });
        driver.start(10);
        flow.SaveAs();
        ASSERT_EQ(asked.size(), 1) << asked.join(" | ").toStdString();
        // (The dialog spells the folder its own way: C:/users/... under Windows.)
        EXPECT_TRUE(asked[0].contains(QLatin1String(file) + says)) << asked[0].toStdString();
        EXPECT_TRUE(ReadBytes(dir.File(file)) == before && state.ConfigChanged);
    }
}

TEST_F(FileFlowTest, FailedSaveKeepsTheFileTheNameAndTheFlag) {
    const QString file = Saved("old.CDF", 6);
    files.OpenNamed(file);
    const auto before = test::ReadBytes(file.toStdString());
    EditSomething();
    for (const QString& target :
         {Path("no/such/folder/x.CDF"), QString::fromStdString(dir.path().string())}) {
        dialogs.boxes.clear();
        dialogs.saveNames = {target};
        files.SaveAs();
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        ExpectSaid(Last(), "", "Save As", Icon::Critical);
        EXPECT_TRUE(Last().text.contains(target) && doc.fileName() == file && state.ConfigChanged);
        EXPECT_EQ(test::ReadBytes(file.toStdString()), before);
    }
#ifndef _WIN32
    if (geteuid() == 0) return;  // as root, folder permissions do not apply
    namespace fs = std::filesystem;
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    files.Save();
    fs::permissions(dir.path(), fs::perms::owner_all);
    ExpectSaid(Last(), "", "Save", Icon::Critical);
    EXPECT_TRUE(state.ConfigChanged && test::ReadBytes(file.toStdString()) == before);
#endif
}

TEST_F(FileFlowTest, RecentFilesKeepTheLastEightAndDropMissingOnes) {
    Session session(InDir());
    files.SetSession(&session);
    std::vector<QString> names;
    for (int i = 0; i < 10; ++i) {
        names.push_back(Path(("f" + std::to_string(i) + ".CDF").c_str()));
        ASSERT_TRUE(SaveToFile(Config{}, QFile::encodeName(names.back()).toStdString()));
        files.OpenNamed(names.back());
    }
    EXPECT_EQ(files.Recent(), (QStringList{names[9], names[8], names[7], names[6], names[5],
                                           names[4], names[3], names[2]}));
    // Choosing one asks like Open when there are changes, then opens it.
    Drop(0, 4);
    dialogs.answers = {Answer::No};
    files.OpenRecent(names[5]);
    EXPECT_TRUE(doc.fileName() == names[9] && Last().text == "Discard Any Changes?");
    dialogs.answers = {Answer::Yes};
    files.OpenRecent(names[5]);
    EXPECT_TRUE(doc.fileName() == names[5] && files.Recent().front() == names[5]);
    // A file that is gone is said so and taken off the list.
    QFile::remove(names[7]);
    files.OpenRecent(names[7]);
    EXPECT_TRUE(Last().text.contains("no longer exists") && !files.Recent().contains(names[7]));
    EXPECT_EQ(doc.fileName(), names[5]);
}

TEST_F(FileFlowTest, UnsavedChangesOfAnEditorThatDidNotEndCleanlyAreOfferedBack) {
    const QString userFile = Saved("site.CDF", 0);
    const auto userBytes = ReadBytes(dir.File("site.CDF"));
    Config edited;
    {
        ProgramState s;
        ScriptedDialogs d;
        Document other(s);
        Session session(InDir());
        bool transfer = false;
        RecoveryFlow recovery(other, d, session, [&] { return transfer; });
        other.Replace(Config{}, userFile, false);
        recovery.Autosave();
        EXPECT_EQ(RecoveryFiles(), 0);  // nothing unsaved yet
        GridEditor(other, d).Drop(17, 8);
        transfer = true;
        recovery.Autosave();  // no tick's copy during a transfer ...
        EXPECT_EQ(RecoveryFiles(), 0);
        EXPECT_TRUE(recovery.KeepNow());  // ... but the program is ending: written now
        edited = s.record;
        EXPECT_EQ(RecoveryFiles(), 1);
        // A second editor meanwhile is not offered the running editor's copy.
        Session second(InDir());
        EXPECT_TRUE(second.FindOrphans().empty());
        // The editor goes away without a clean exit.
    }
    {  // Its lock left under a process number this program has now (Windows gives numbers
       // again at once) is no running editor's.
        const QString dead = InDir().recoveryDir + QStringLiteral("/dead.lock");
        QLockFile held(dead);
        ASSERT_TRUE(held.tryLock(0));
        const auto copy = QDir(InDir().recoveryDir).entryList({QStringLiteral("*.CDF")}).front();
        ASSERT_TRUE(QFile::copy(dead, InDir().recoveryDir + QLatin1Char('/') + copy.chopped(4) +
                                          QStringLiteral(".lock")));
    }
    for (Answer answer : {Answer::Yes, Answer::No}) {
        Session session(InDir());
        RecoveryFlow recovery(doc, dialogs, session, {});
        dialogs.boxes.clear();
        dialogs.answers = {answer};
        recovery.Offer();
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_TRUE(Last().title == "Recovery" && Last().text.contains(userFile));
        EXPECT_EQ(ReadBytes(dir.File("site.CDF")), userBytes);
        if (answer == Answer::Yes) {  // restored, unsaved, as this editor's own copy
            EXPECT_TRUE(state.record == edited && state.ConfigChanged);
            EXPECT_TRUE(doc.fileName() == userFile && RecoveryFiles() == 1);
            doc.Replace(Config{}, std::nullopt, false);
        } else {  // No deletes it
            EXPECT_TRUE(state.record == Config{} && RecoveryFiles() == 0);
        }
    }
    // (A clean exit leaving nothing to offer is the window's exit test.)
}

#ifndef _WIN32
// The program's own files are never followed through links nor opened when they are no plain
// file: whatever is found there is set aside with a notice, and the editor goes on.
TEST_F(FileFlowTest, WhatTakesThePlaceOfTheProgramsOwnFilesIsSetAside) {
    namespace fs = std::filesystem;
    const std::string rec = dir.File("recovery");
    fs::create_directories(rec);
    const std::string victim = dir.File("victim.CDF");
    ASSERT_TRUE(SaveToFile(Config{}, victim));
    const auto victimBytes = ReadBytes(victim);
    // A dead editor's copy grown far past one configuration, with a FIFO as its info file.
    test::WriteBytes(rec + "/session-1-1.CDF", std::vector<uint8_t>(kCdfBytes + 5000, 1));
    ASSERT_EQ(mkfifo((rec + "/session-2-2.info").c_str(), 0600), 0);
    ASSERT_TRUE(SaveToFile(Config{}, rec + "/session-2-2.CDF"));
    ASSERT_EQ(mkfifo(dir.File("settings.ini").c_str(), 0600), 0);  // the settings file a FIFO
    // Stale leftovers of editors that were killed: a lock without a copy, a half-written copy.
    test::WriteBytes(rec + "/session-3-3.lock", {'1', '\n'});
    const std::string half = rec + "/session-4-4.CDF.zezudi-partial-save-77.tmp";
    test::WriteBytes(half, {1, 2, 3});
    fs::last_write_time(half, fs::file_time_type::clock::now() - std::chrono::hours(1));
    Session session(InDir());  // would block on a FIFO
    session.AddRecent(QStringLiteral("/x/R&D plant.CDF"));
    // The grown copy is set aside; the copy whose info was a FIFO is offered without it.
    const auto orphans = session.FindOrphans();
    ASSERT_EQ(orphans.size(), 1u);
    EXPECT_TRUE(orphans[0].copy.endsWith("session-2-2.CDF") && orphans[0].fileName.isEmpty());
    const QStringList notices = session.TakeNotices();
    EXPECT_EQ(notices.size(), 3) << notices.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(notices.join(QLatin1Char(' ')).contains("not a plain file"));
    EXPECT_FALSE(fs::exists(rec + "/session-3-3.lock") || fs::exists(half));
    // A link placed at this editor's own copy is set aside, never written through.
    RecoveryFlow recovery(doc, dialogs, session, {});
    Drop(0, 4);
    const auto own = QDir(QString::fromStdString(rec))
                         .entryList({QStringLiteral("session-*.lock")}, QDir::Files);
    ASSERT_EQ(own.size(), 1);
    const std::string copy = rec + "/" + own[0].chopped(5).toStdString() + ".CDF";
    fs::create_symlink(victim, copy);
    recovery.Autosave();
    EXPECT_TRUE(ReadBytes(victim) == victimBytes && !fs::is_symlink(copy));
    EXPECT_EQ(LoadFromFile(copy).value().config, state.record);
    // The link that was set aside is said.
    EXPECT_TRUE(Last().title == "Recovery" && Last().text.contains("a link"));
}

#endif

}  // namespace
}  // namespace zez::test
