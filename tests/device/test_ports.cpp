// A port is kept by what identifies its device, found again wherever the system lists it next,
// and never taken for another; a name given on the command line finds its port.
#include <gtest/gtest.h>

#include "TestUtil.h"
#include "system/Ports.h"

namespace zez::test {
namespace {

using device::PortInfo;
namespace fs = std::filesystem;

TEST(Ports, ADeviceIsFoundByItsIdentityWhereverTheSystemListsItNext) {
#ifdef _WIN32
    GTEST_SKIP() << "/dev/serial/by-id is Linux's";
#endif
    TempDir dir;  // a device folder with a by-id folder of links, as udev makes them
    fs::create_directories(dir.path() / "by-id");
    for (const char* n : {"ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyS0"}) WriteBytes(dir.File(n), {});
    auto listed = [&](std::vector<std::pair<const char*, const char*>> ports, const char* linked) {
        fs::remove_all(dir.path() / "by-id");
        fs::create_directories(dir.path() / "by-id");
        fs::create_symlink(std::string("../") + linked, dir.path() / "by-id" / "usb-FTDI_A1-port0");
        std::vector<PortInfo> list;
        for (const auto& [path, serial] : ports)
            list.push_back({.path = dir.File(path), .serialNumber = serial});
        device::AttachByIdNames(list, dir.path() / "by-id");
        device::SortPorts(list);
        return list;
    };
    const auto before = listed({{"ttyS0", ""}, {"ttyUSB1", "A1"}, {"ttyUSB0", "CP1"}}, "ttyUSB1");
    ASSERT_EQ(before[1].byId, (dir.path() / "by-id" / "usb-FTDI_A1-port0").string());
    EXPECT_EQ(before[2].path, dir.File("ttyS0"));  // adapters first
    // Plugged in again in another order, a third adapter beside them: each is found where it is.
    const auto after = listed(
        {{"ttyUSB0", "A1"}, {"ttyUSB1", "X9"}, {"ttyUSB2", "CP1"}, {"ttyS0", ""}}, "ttyUSB0");
    for (const auto& [was, now] : {std::pair{0, 2}, {1, 0}, {2, 3}})
        EXPECT_EQ(device::FindIdentity(after, device::IdentityOf(before[was])), &after[now]) << was;
    // Gone, or a serial number two adapters share away from its path: missing, never another.
    const auto without = listed({{"ttyUSB2", "CP1"}, {"ttyUSB0", "CP1"}, {"ttyS0", ""}}, "ttyUSB9");
    EXPECT_EQ(device::FindIdentity(without, device::IdentityOf(before[1])), nullptr);
    EXPECT_EQ(device::FindIdentity(without, "serial:CP1@" + dir.File("ttyUSB1")), nullptr);
    EXPECT_EQ(device::FindIdentity(without, "serial:CP1@" + dir.File("ttyUSB2")), &without[1]);
    EXPECT_EQ(device::IdentityText("serial:CP1@/dev/ttyUSB1"),
              "the adapter with serial number CP1 (last on /dev/ttyUSB1)");
    // Names on the command line: the by-id name whole or as listed, the path, a COM name.
    for (const char* name : {"usb-FTDI_A1-port0", before[1].byId.c_str(), before[1].path.c_str()})
        EXPECT_EQ(device::ResolvePortName(before, name).serialNumber, "A1") << name;
    EXPECT_EQ(device::ResolvePortName({{.path = "COM3"}}, "com3").path, "COM3");
    EXPECT_EQ(device::ResolvePortName(before, "/dev/pts/7").path, "/dev/pts/7");
}

}  // namespace
}  // namespace zez::test
