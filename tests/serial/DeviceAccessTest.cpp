// Whether an operator may open a serial device, read from the node's owner, group and mode bits,
// and the command that lets them when not.
#include "DeviceAccess.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace talvern::serial;

namespace {

class DeviceNode : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "devicenode-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        node = folder + "/ttyUSB0";
        std::ofstream(node) << "";
        struct stat made {};
        ASSERT_EQ(::stat(node.c_str(), &made), 0);
        owner = made.st_uid;
        group = made.st_gid;
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string folder, node;
    uid_t owner = 0;
    gid_t group = 0;
};

} // namespace

TEST_F(DeviceNode, ModeBitsForTheOwnerTheGroupAndOthers) {
    const Credentials theOwner{owner, {group + 1000}, "anna", false};
    const Credentials aMember{owner + 1000, {group + 1000, group}, "anna", false};
    const Credentials anOutsider{owner + 1000, {group + 1000}, "anna", false};
    const Credentials theSuperuser{0, {0}, "root", true};
    struct Case {
        mode_t mode;
        const Credentials& who;
        int error;
        const char* what;
    };
    const Case cases[] = {
        {0660, aMember, 0, "a member of the device's group"},
        {0660, anOutsider, EACCES, "not in the group: the usual case of a new operator"},
        {0640, aMember, EACCES, "the group may only read"},
        {0606, anOutsider, 0, "open to everyone"},
        {0066, theOwner, EACCES, "the owner's own bits count for the owner"},
        {0000, theSuperuser, 0, "the superuser opens anything"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(::chmod(node.c_str(), c.mode), 0);
        EXPECT_EQ(CheckDeviceAccess(node, c.who).Error, c.error);
    }
    EXPECT_EQ(CheckDeviceAccess(folder + "/ttyUSB9", anOutsider).Error, ENOENT);
    EXPECT_EQ(CheckDeviceAccess(folder + "/ttyUSB9").Error, ENOENT);
}

TEST_F(DeviceNode, TheFixNamesTheGroupAndTheOperator) {
    ::chmod(node.c_str(), 0660);
    // The node here belongs to the tester's own group, which is not what keeps anyone out: the
    // command names the serial group.
    const DeviceAccess access = CheckDeviceAccess(node, Credentials{owner + 1000, {group}, "anna", false});
    EXPECT_EQ(AccessFixCommand(access), "sudo usermod -aG dialout anna");
    EXPECT_EQ(AccessFixCommand(DeviceAccess{EACCES, "uucp", "jan"}), "sudo usermod -aG uucp jan");
}

TEST(DeviceAccessOfThisProcess, AReadableNodeOfOurOwnIsOpenable) {
    const std::string path = (fs::temp_directory_path() / ("own-node-" + std::to_string(::getpid()))).string();
    std::ofstream(path) << "";
    ::chmod(path.c_str(), 0600);
    const DeviceAccess access = CheckDeviceAccess(path);
    EXPECT_EQ(access.Error, 0);
    EXPECT_FALSE(access.User.empty());
    fs::remove(path);
}
