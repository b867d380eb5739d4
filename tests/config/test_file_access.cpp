// Saving and reading only ever touch regular files: special files are refused, read-only files
// kept, a FIFO never blocks; file names in any script.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>

#include "TestUtil.h"
#include "compiler/Compiler.h"
#include "system/ArrayFile.h"
#include "system/CdfFile.h"
#include "system/FileAccess.h"
#include "system/FileLock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace zez {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

[[maybe_unused]] bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Runs `f` on a thread; a hang fails the test instead of stopping the run (the FIFO is opened
// for writing afterwards to release a blocked reader).
template <class F>
auto WithinTwoSeconds(F f, [[maybe_unused]] const std::string& fifo = {}) {
    auto done = std::async(std::launch::async, std::move(f));
    const bool inTime = done.wait_for(2s) == std::future_status::ready;
#ifndef _WIN32
    if (!inTime && !fifo.empty()) {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    }
#endif
    EXPECT_TRUE(inTime) << "the call did not return within 2 s";
    return done.get();
}

Config Edited() {
    Config c;
    c.SegType[2][17] = 8;
    c.SegInput[2][17] = 4;
    return c;
}

#ifndef _WIN32

std::string MakeSocket(const TempDir& dir, const std::string& name) {
    const auto path = dir.File(name);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    path.copy(addr.sun_path, sizeof addr.sun_path - 1);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0) << path;
    ::close(fd);  // the socket file stays
    return path;
}

struct Special {
    std::string what;
    std::string path;
    std::string reason;
    fs::file_type type;
};

std::vector<Special> SpecialTargets(const TempDir& dir) {
    const auto fifo = dir.File("pipe.CDF"), link = dir.File("link-to-pipe.CDF");
    EXPECT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    fs::create_symlink(fifo, link);
    return {
        {"FIFO", fifo, "named pipe (FIFO)", fs::file_type::fifo},
        {"link to a FIFO", link, "named pipe (FIFO)", fs::file_type::fifo},
        {"socket", MakeSocket(dir, "sock.CDF"), "socket", fs::file_type::socket},
        {"device node", "/dev/null", "device", fs::file_type::character},
        {"directory", dir.path().string(), "directory", fs::file_type::directory},
    };
}

// Save, compile and open refuse special files at once, name the file and what it is, and leave
// it as it was.
TEST(FileAccess, SpecialFilesAreRefusedAndStayWhatTheyAre) {
    TempDir dir;
    using Use = std::function<std::string(const std::string&)>;  // the error, empty if none
    const std::pair<const char*, Use> uses[] = {
        {"save", [](const std::string& p) { return SaveToFile(Edited(), p).error(); }},
        {"compile", [](const std::string& p) { return WriteControlArray({}, p).error(); }},
        {"open", [](const std::string& p) { return LoadFromFile(p).error(); }},
    };
    for (const auto& s : SpecialTargets(dir)) {
        for (const auto& use : uses) {
            SCOPED_TRACE(std::string(use.first) + " of a " + s.what);
            const auto error = WithinTwoSeconds([&] { return use.second(s.path); }, s.path);
            EXPECT_TRUE(Contains(error, "\"" + s.path + "\"") && Contains(error, s.reason))
                << error;
            EXPECT_EQ(fs::status(s.path).type(), s.type);
        }
    }
    EXPECT_TRUE(fs::is_symlink(dir.File("link-to-pipe.CDF")));
    for (const auto& entry : fs::directory_iterator(dir.path()))  // nothing left beside them
        EXPECT_FALSE(Contains(entry.path().filename().string(), ".tmp")) << entry.path();
}

TEST(FileAccess, ReadOnlyFilesAreKeptBySaveAndCompile) {
    TempDir dir;
    const auto cdf = dir.File("ro.CDF");
    const auto bin = dir.File("ro.bin");
    ASSERT_TRUE(SaveToFile(Config{}, cdf));
    WriteBytes(bin, std::vector<uint8_t>(65536, 7));
    const auto cdfBefore = ReadBytes(cdf), binBefore = ReadBytes(bin);
    for (const auto& f : {cdf, bin}) fs::permissions(f, fs::perms::owner_read);
    ControlArray array{};
    const std::tuple<Result<void>, std::string, std::vector<uint8_t>> outcomes[] = {
        {SaveToFile(Edited(), cdf), cdf, cdfBefore},
        {WriteControlArray(array, bin), bin, binBefore},
    };
    for (const auto& [r, path, before] : outcomes) {
        ASSERT_FALSE(r) << path;
        EXPECT_TRUE(Contains(r.error(), "\"" + path + "\": the file is read-only")) << r.error();
        EXPECT_EQ(ReadBytes(path), before);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator{}), 2);
}

// Folder and file permissions, which an administrator is not held to.
TEST(FileAccess, WhatTheUserMayNotWriteIsSaidSo) {
    if (::geteuid() == 0) GTEST_SKIP() << "an administrator may write anywhere";
    TempDir dir;
    const fs::path locked = dir.path() / "locked";
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    const auto r = SaveToFile(Edited(), (locked / "x.CDF").string());
    fs::permissions(locked, fs::perms::owner_all);
    ASSERT_FALSE(r);
    EXPECT_TRUE(Contains(r.error(), "you may not write in the folder \"" + locked.string()));
    const auto path = dir.File("other.CDF");
    ASSERT_TRUE(SaveToFile(Config{}, path));
    fs::permissions(path, fs::perms::group_write | fs::perms::owner_read);  // not the owner's
    EXPECT_TRUE(Contains(SaveToFile(Edited(), path).error(), "is read-only"));
}

#endif  // !_WIN32

// File names in any script are saved, saved again, loaded and replaced, and no temporary is left.
TEST(FileAccess, FileNamesInAnyScript) {
    TempDir dir;
    for (const char8_t* name :
         {u8"K\u00fcche.CDF", u8"\u0141\u00f3d\u017a.CDF", u8"\u65e5\u672c.CDF"}) {
        const fs::path cdf = dir.path() / fs::path(name);
        ASSERT_TRUE(SaveToFile(Config{}, cdf));
        ASSERT_TRUE(SaveToFile(Edited(), cdf));
        const auto loaded = LoadFromFile(cdf);
        ASSERT_TRUE(loaded) << loaded.error();
        EXPECT_EQ(loaded.value().config, Edited());
        fs::path bin = cdf;
        ASSERT_TRUE(WriteControlArray(ControlArray{}, bin.replace_extension(".bin")));
        ASSERT_TRUE(WriteControlArray(ControlArray{}, bin));
        EXPECT_TRUE(HoldsConfiguration(cdf));
    }
    // A configuration and an array for each name, and no temporary beside them.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator{}), 6);
#ifdef _WIN32
    // Device names are refused at once, never read or replaced.
    for (const char* device : {"aux.CDF", "COM1", "NUL"}) {
        const auto r = WithinTwoSeconds([&] { return LoadFromFile(dir.path() / device); });
        EXPECT_TRUE(!r && Contains(r.error(), "device")) << device;
        EXPECT_FALSE(SaveToFile(Config{}, dir.path() / device)) << device;
    }
#endif
}

#ifdef _WIN32
// On Windows a file is kept from being replaced by its read-only attribute (as the permission
// bits do elsewhere) and by a program that holds it open without sharing it: it stays as it was,
// no temporary is left, and the message says which.
TEST(FileAccess, AFileWindowsKeepsFromBeingReplacedStaysAsItWas) {
    TempDir dir;
    const fs::path cdf = dir.path() / "kept.CDF";
    ASSERT_TRUE(SaveToFile(Config{}, cdf));
    const auto before = ReadBytes(cdf.string());
    const auto writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    for (const bool readOnly : {true, false}) {
        HANDLE held = INVALID_HANDLE_VALUE;
        if (readOnly)
            fs::permissions(cdf, writable, fs::perm_options::remove);
        else
            held = CreateFileW(cdf.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        const auto r = SaveToFile(Edited(), cdf);
        readOnly ? fs::permissions(cdf, fs::perms::owner_write, fs::perm_options::add)
                 : (void)CloseHandle(held);
        ASSERT_FALSE(r);
        EXPECT_TRUE(Contains(
            r.error(), readOnly ? "the file is read-only" : "another program has the file open"))
            << r.error();
        EXPECT_EQ(ReadBytes(cdf.string()), before);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator{}), 1);
    }
}
#endif

// The lock beside one of the program's own files: one holder at a time, free again when its
// holder goes, and never taken through a link or on anything but a regular file.
TEST(FileLock, OneHolderAtATimeOnlyOnAPlainFile) {
    TempDir dir;
    const fs::path lock = dir.path() / "own.lock";
    {
        const auto held = FileLock::Acquire(lock, 0ms, "Cannot lock");
        ASSERT_TRUE(held) << held.error();
        const auto second = FileLock::Acquire(lock, 50ms, "Cannot lock");
        ASSERT_FALSE(second);
        EXPECT_NE(second.error().find("another program has held it"), std::string::npos);
    }
    EXPECT_TRUE(FileLock::Acquire(lock, 0ms, "Cannot lock"));
    std::vector<fs::path> refused = {dir.path()};  // a folder
#ifndef _WIN32
    fs::create_symlink(lock, dir.path() / "link.lock");  // even to a lock file
    refused.push_back(dir.path() / "link.lock");
    ASSERT_EQ(::mkfifo((dir.path() / "fifo.lock").c_str(), 0600), 0);  // must not block
    refused.push_back(dir.path() / "fifo.lock");
#endif
    for (const auto& path : refused) {
        const auto taken = FileLock::Acquire(path, 0ms, "Cannot lock");
        ASSERT_FALSE(taken) << path;
        EXPECT_EQ(taken.error().rfind("Cannot lock \"" + PathText(path) + "\": ", 0), 0u)
            << taken.error();
    }
}

}  // namespace
}  // namespace zez
