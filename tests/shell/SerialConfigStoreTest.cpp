// The serial component's stored port setup in the program's settings file: saved as a "hex:"
// value, loaded back into a second component, other keys of the file kept.

#include "SerialConfigStore.h"
#include "SerialError.h"
#include "TspComm.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace talvern;
using namespace talvern::serial;
namespace fs = std::filesystem;

namespace {

class LogCapture : public TspCustomLogFile {
public:
    void WriteLine(int, const std::string& text) override { lines.push_back(text); }
    std::vector<std::string> lines;
};

class SerialConfigStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "serial-config-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
        if (const char* old = std::getenv("XDG_CONFIG_HOME"))
            m_oldXdg = old;
        ::setenv("XDG_CONFIG_HOME", m_folder.c_str(), 1);
        fs::create_directories(m_folder / "talvern");
        std::ofstream(m_folder / "talvern" / "settings.reg", std::ios::binary)
            << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n\"Port\"=dword:00000002\r\n";
    }
    void TearDown() override {
        if (m_oldXdg)
            ::setenv("XDG_CONFIG_HOME", m_oldXdg->c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(m_folder);
    }
    std::string fileText() const {
        std::ifstream in(settings::SettingsStore::defaultFile(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path m_folder;
    std::optional<std::string> m_oldXdg;
};

TEST_F(SerialConfigStoreTest, SaveThenLoadThroughTheSettingsFile) {
    ASSERT_EQ(settings::SettingsStore::defaultFile(), m_folder / "talvern" / "settings.reg");
    settings::SerialConfigStore store(settings::SettingsStore(settings::SettingsStore::defaultFile()));

    TspComm saving;
    saving.SetConfigStore(&store);
    saving.SetComPortNo(3);
    saving.SetBaudRate(19200);
    saving.SetParity(TParity::pEven);
    saving.SetByteSize(7);
    saving.SetTimeoutRead(40);
    saving.SetTimeoutWrite(250);
    saving.SaveConfig("HKEY_CURRENT_USER", "Software\\Talvern\\Serial", "PortSetup");

    const std::string text = fileText();
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Talvern\\Serial]"), std::string::npos) << text;
    EXPECT_NE(text.find("\"PortSetup\"=hex:03,1c,00,00,00,00,4b,00,00"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Port\"=dword:00000002"), std::string::npos) << text; // other keys kept

    TspComm loading;
    LogCapture log;
    loading.SetLog(&log);
    loading.SetConfigStore(&store);
    loading.LoadConfig("HKEY_CURRENT_USER", "Software\\Talvern\\Serial", "PortSetup");
    EXPECT_EQ(loading.ComPortNo(), 3);
    EXPECT_EQ(loading.BaudRate(), 19200u);
    EXPECT_EQ(loading.Parity(), TParity::pEven);
    EXPECT_EQ(loading.ByteSize(), 7);
    EXPECT_EQ(loading.TimeoutRead(), 40u);
    EXPECT_EQ(loading.TimeoutWrite(), 250u);
    EXPECT_EQ(std::memcmp(&saving.LineRecord(), &loading.LineRecord(), sizeof(TDCB)), 0);
    EXPECT_EQ(log.lines, std::vector<std::string>{"spComm: Configuration was loaded"});
}

TEST_F(SerialConfigStoreTest, AMissingValueChangesNothingAndAnotherRootIsAnError) {
    settings::SerialConfigStore store(settings::SettingsStore(settings::SettingsStore::defaultFile()));
    TspComm comm;
    comm.SetConfigStore(&store);
    comm.SetBaudRate(4800);
    comm.LoadConfig("HKCU", "Software\\Talvern\\Serial", "PortSetup");
    EXPECT_EQ(comm.BaudRate(), 4800u);
    // Opening creates the key, as the registry would.
    EXPECT_NE(fileText().find("[HKEY_CURRENT_USER\\Software\\Talvern\\Serial]"), std::string::npos);

    EXPECT_THROW(comm.SaveConfig("HKEY_LOCAL_MACHINE", "Software\\Talvern", "PortSetup"), SerialError);
    EXPECT_THROW(comm.LoadConfig("HKEY_LOCAL_MACHINE", "Software\\Talvern", "PortSetup"), SerialError);
}

} // namespace
