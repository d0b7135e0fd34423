#include "ComPortMap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using talvern::serial::ComPortMap;

namespace {

class ComPortMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "comportmap-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
        m_file = m_folder + "/talvern/comports";
    }
    void TearDown() override { fs::remove_all(m_folder); }

    void write(const std::string& text) {
        fs::create_directories(m_folder + "/talvern");
        std::ofstream(m_file) << text;
    }
    std::string read() const {
        std::ifstream in(m_file);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string m_folder;
    std::string m_file;
};

TEST_F(ComPortMapTest, ResolvesEntriesAndFallsBackToBuiltInPorts) {
    write("# adapters\n"
          "\n"
          "COM1 = /dev/serial/by-id/usb-FTDI_A1-if00-port0\n"
          "  com3=/dev/pts/7  \n"
          "COM2 /dev/ttyUSB9\n"     // no '=': ignored
          "COMX = /dev/ttyUSB8\n"   // no number: ignored
          "COM0 = /dev/ttyUSB7\n"); // no port 0
    const ComPortMap map(m_file);
    EXPECT_EQ(map.resolve(1), "/dev/serial/by-id/usb-FTDI_A1-if00-port0");
    EXPECT_EQ(map.resolve(2), "/dev/ttyS1");
    EXPECT_EQ(map.resolve(3), "/dev/pts/7");
    EXPECT_EQ(map.resolve(12), "/dev/ttyS11");
    EXPECT_EQ(map.resolve(0), "");
}

TEST_F(ComPortMapTest, MissingFileMeansBuiltInPorts) {
    const ComPortMap map(m_file);
    EXPECT_EQ(map.resolve(1), "/dev/ttyS0");
    EXPECT_FALSE(map.entry(1).has_value());
    map.removeEntry(1); // nothing to remove, nothing written
    EXPECT_FALSE(fs::exists(m_file));
}

TEST_F(ComPortMapTest, SetAndRemoveKeepOtherLinesAndComments) {
    write("# kept comment\nCOM2 = /dev/ttyUSB0\nsomething unparsable\nCOM1 = /dev/old\n");
    const ComPortMap map(m_file);
    map.setEntry(1, "/dev/pts/3");
    EXPECT_EQ(read(), "# kept comment\nCOM2 = /dev/ttyUSB0\nsomething unparsable\nCOM1 = /dev/pts/3\n");
    map.setEntry(4, "/dev/pts/9");
    EXPECT_EQ(map.resolve(4), "/dev/pts/9");
    map.removeEntry(2);
    EXPECT_EQ(read(), "# kept comment\nsomething unparsable\nCOM1 = /dev/pts/3\nCOM4 = /dev/pts/9\n");
    EXPECT_EQ(map.resolve(2), "/dev/ttyS1");
    // no temporary file is left beside the map
    size_t files = 0;
    for ([[maybe_unused]] const auto& f : fs::directory_iterator(m_folder + "/talvern"))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST_F(ComPortMapTest, SetCreatesFolderAndRejectsBadInput) {
    const ComPortMap map(m_file);
    map.setEntry(1, "/dev/pts/5");
    EXPECT_EQ(read(), "COM1 = /dev/pts/5\n");
    EXPECT_THROW(map.setEntry(0, "/dev/pts/5"), std::invalid_argument);
    EXPECT_THROW(map.setEntry(1, ""), std::invalid_argument);
    EXPECT_THROW(map.setEntry(1, "/dev/a\nCOM2 = /dev/b"), std::invalid_argument);
    EXPECT_EQ(read(), "COM1 = /dev/pts/5\n");
}

TEST_F(ComPortMapTest, UnwritableFolderThrowsAndLeavesTheMap) {
    write("COM1 = /dev/pts/1\n");
    fs::create_directories(m_folder + "/blocker");
    std::ofstream(m_folder + "/blocker/file") << "x";
    const ComPortMap blocked(m_folder + "/blocker/file/comports"); // parent is a file
    EXPECT_THROW(blocked.setEntry(1, "/dev/pts/2"), std::system_error);
    EXPECT_EQ(read(), "COM1 = /dev/pts/1\n");
}

TEST(ComPortMapLocation, FollowsXdgConfigHome) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string savedValue = saved ? saved : "";
    ::setenv("XDG_CONFIG_HOME", "/nonexistent/cfg", 1);
    EXPECT_EQ(ComPortMap::defaultFilePath(), "/nonexistent/cfg/talvern/comports");
    ::setenv("XDG_CONFIG_HOME", "relative", 1); // not absolute: ignored
    const char* home = std::getenv("HOME");
    EXPECT_EQ(ComPortMap::defaultFilePath(), std::string(home ? home : "") + "/.config/talvern/comports");
    if (saved)
        ::setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

} // namespace
