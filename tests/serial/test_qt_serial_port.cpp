#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdlib>

#include "system/QtSerialPort.h"

namespace zez::device {
namespace {

// A pseudo-terminal whose far end the test plays.
struct Pty {
    Pty() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) path = ptsname(master);
    }
    ~Pty() {
        if (master >= 0) close(master);
    }
    int master = -1;
    std::string path;
};

// A port that cannot be opened says why: missing, or one the user may not open (the permission
// and the group that gives it, not another program).
TEST(QtSerialPort, APortThatCannotBeOpenedSaysWhy) {
    Pty pty;
    std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"/dev/zezudi-no-such-port", {"/dev/zezudi-no-such-port", "no such port"}}};
    if (geteuid() != 0) {  // an administrator may open every port
        EXPECT_EQ(chmod(pty.path.c_str(), 0), 0);
        cases.push_back({pty.path, {"permission denied", "dialout"}});
    }
    for (const auto& [path, says] : cases) {
        QtSerialPort port;
        const auto r = port.Open(path, "38400,n,8,1");
        ASSERT_FALSE(r) << path;
        for (const auto& part : says)
            EXPECT_NE(r.error().find(part), std::string::npos) << r.error();
        EXPECT_EQ(r.error().find("in use"), std::string::npos) << r.error();
    }
}

TEST(QtSerialPort, AnOpenPortIsExclusive) {
    Pty pty;
    QtSerialPort port, second;
    ASSERT_TRUE(port.Open(pty.path, "115200,n,8,1"));
    auto r = second.Open(pty.path, "38400,n,8,1");
    ASSERT_FALSE(r);
    EXPECT_NE(r.error().find("in use"), std::string::npos) << r.error();
    const int other = open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (other < 0) {
        EXPECT_EQ(errno, EBUSY);
        return;
    }
    // An administrator may open an exclusive port; the flag must still be set.
    int exclusive = 0;
    ASSERT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
    close(other);
    EXPECT_EQ(exclusive, 1);
}

}  // namespace
}  // namespace zez::device

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
