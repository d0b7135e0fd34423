// The settings store on real files in a temporary folder: creation, typed reads and their errors,
// Windows-1250 text, atomic replacement with mode 0600, a broken file that is never overwritten, a
// version 5 export in UTF-16 written back in its own form, a settings file that is a symbolic link,
// and a read-only one.

#include "SettingsError.h"
#include "SettingsStore.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace talvern::settings;
namespace fs = std::filesystem;

namespace {

class SettingsStoreTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/talvern-settings-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_folder = pattern;
        m_file = m_folder / "talvern" / "settings.reg";
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::string contents() const {
        std::ifstream in(m_file, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void put(const std::string& bytes) const {
        fs::create_directories(m_file.parent_path());
        std::ofstream(m_file, std::ios::binary) << bytes;
    }
    static std::string errorOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const SettingsError& e) {
            return e.what();
        }
        return "(no error)";
    }

    fs::path m_folder;
    fs::path m_file;
};

TEST_F(SettingsStoreTest, OpenWithoutCreatingLeavesNoFile) {
    SettingsStore store(m_file);
    EXPECT_FALSE(store.openKey("SoftwareRegQ5", false));
    EXPECT_FALSE(fs::exists(m_file));
    put("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Other]\r\n");
    EXPECT_FALSE(store.openKey("SoftwareRegQ5", false));
}

TEST_F(SettingsStoreTest, CreatedKeyHoldsTheValuesInOrderAsPrivateExportText) {
    SettingsStore store(m_file);
    auto key = store.openKey("SoftwareRegQ5", true);
    ASSERT_TRUE(key);
    key->writeInteger("Port", 1);
    key->writeString("sys_nr", "1");
    key->writeString("sys_nr2", "1");
    key->writeString("admin", "1");
    key->writeString("admin2", "2");
    EXPECT_EQ(contents(), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n\"Port\"=dword:00000001\r\n"
                          "\"sys_nr\"=\"1\"\r\n\"sys_nr2\"=\"1\"\r\n\"admin\"=\"1\"\r\n\"admin2\"=\"2\"\r\n\r\n");
    struct stat st {};
    ASSERT_EQ(stat(m_file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(m_file.parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u) << "the folder is private too";
    // Nothing but the file itself is left in the folder: the temporary files were renamed.
    EXPECT_EQ(std::distance(fs::directory_iterator(m_file.parent_path()), fs::directory_iterator()), 1);

    auto again = SettingsStore(m_file).openKey("softwareregq5", false);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->readInteger("Port"), 1);
    EXPECT_EQ(again->readString("admin2"), "2");
}

TEST_F(SettingsStoreTest, TextIsWindows1250InTheFileAndUnicodeInTheProgram) {
    SettingsStore store(m_file);
    auto key = store.openKey("SoftwareRegQ5", true);
    key->writeString("admin", "Hasło Żółć");
    EXPECT_NE(contents().find("\"admin\"=\"Has\xB3o \xAF\xF3\xB3\xE6\"\r\n"), std::string::npos);
    EXPECT_EQ(store.openKey("SoftwareRegQ5", false)->readString("admin"), "Hasło Żółć");

    // Text the file cannot hold is refused, and the file keeps what it had.
    const std::string before = contents();
    EXPECT_EQ(errorOf([&] { key->writeString("admin", "snow ☃"); }), "Failed to set data for 'admin'");
    EXPECT_EQ(errorOf([&] { key->writeString("admin2", "two\nlines"); }), "Failed to set data for 'admin2'");
    EXPECT_EQ(contents(), before);
}

TEST_F(SettingsStoreTest, ReadsAndTheirErrors) {
    put("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n"
        "\"Port\"=dword:fffffffe\r\n\"text\"=\"abc\"\r\n\"short\"=hex(4):01,00\r\n\"four\"=hex(4):07,00,00,00\r\n"
        "\"bin\"=hex:01,02\r\n\"expand\"=hex(2):b3,00\r\n");
    auto key = SettingsStore(m_file).openKey("SoftwareRegQ5", false);
    ASSERT_TRUE(key);
    struct Case {
        std::function<void()> read;
        std::string error;
    };
    const std::vector<Case> cases = {
        {[&] { EXPECT_EQ(key->readInteger("Port"), -2); }, "(no error)"},
        {[&] { EXPECT_EQ(key->readInteger("four"), 7); }, "(no error)"},
        {[&] { key->readInteger("missing"); }, "Failed to get data for 'missing'"},
        {[&] { key->readInteger("short"); }, "Failed to get data for 'short'"},
        {[&] { key->readInteger("text"); }, "Invalid data type for 'text'"},
        {[&] { key->readInteger("bin"); }, "Invalid data type for 'bin'"},
        {[&] { EXPECT_EQ(key->readString("missing"), ""); }, "(no error)"},
        {[&] { EXPECT_EQ(key->readString("expand"), "ł"); }, "(no error)"},
        {[&] { key->readString("Port"); }, "Invalid data type for 'Port'"},
        {[&] { key->readString("bin"); }, "Invalid data type for 'bin'"},
        {[&] { EXPECT_EQ(key->readBinary("bin"), (std::vector<std::uint8_t>{1, 2})); }, "(no error)"},
        {[&] { key->readBinary("text"); }, "Invalid data type for 'text'"},
        {[&] { key->readBinary("missing"); }, "Failed to get data for 'missing'"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(errorOf(cases[i].read), cases[i].error) << "case " << i;
}

TEST_F(SettingsStoreTest, BinaryValuesRoundTrip) {
    SettingsStore store(m_file);
    auto key = store.openKey("SoftwareRegQ5", true);
    std::vector<std::uint8_t> bytes(49);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(255 - i);
    key->writeBinary("Setup", bytes);
    EXPECT_EQ(store.openKey("SoftwareRegQ5", false)->readBinary("Setup"), bytes);
}

TEST_F(SettingsStoreTest, WritesFailWhenTheKeyHasGone) {
    SettingsStore store(m_file);
    auto key = store.openKey("SoftwareRegQ5", true);
    key->writeString("admin", "1");

    put("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Other]\r\n");
    EXPECT_EQ(errorOf([&] { key->writeString("admin", "2"); }), "Failed to set data for 'admin'");
    EXPECT_EQ(contents(), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Other]\r\n");

    fs::remove(m_file);
    EXPECT_EQ(errorOf([&] { key->writeInteger("Port", 2); }), "Failed to set data for 'Port'");
    EXPECT_FALSE(fs::exists(m_file)) << "a write never brings a removed key back";
}

TEST_F(SettingsStoreTest, AFolderThatCannotBeWrittenIsAnError) {
    // A plain file stands where the settings folder should be: nothing can be created there.
    std::ofstream(m_folder / "plainfile") << "x";
    SettingsStore elsewhere(m_folder / "plainfile" / "settings.reg");
    EXPECT_EQ(errorOf([&] { elsewhere.openKey("SoftwareRegQ5", true); }),
              "Nie można zapisać ustawień w pliku " + (m_folder / "plainfile" / "settings.reg").string() +
                  ": część ścieżki nie jest folderem.");
}

TEST_F(SettingsStoreTest, ABrokenFileIsReportedAndNeverOverwritten) {
    const std::string broken = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n\"Port\"=dword:1\r\n"
                               "\"sys_nr\"=\"1\r\n";
    put(broken);
    SettingsStore store(m_file);
    const std::string error = errorOf([&] { store.openKey("SoftwareRegQ5", true); });
    EXPECT_NE(error.find("Nie można odczytać ustawień z pliku " + m_file.string()), std::string::npos) << error;
    EXPECT_NE(error.find("wiersz 5"), std::string::npos) << error;
    EXPECT_EQ(contents(), broken);

    // A key opened before the file broke cannot write over it either.
    put("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n");
    auto key = store.openKey("SoftwareRegQ5", false);
    put(broken);
    EXPECT_NE(errorOf([&] { key->writeString("admin", "1"); }).find("wiersz 5"), std::string::npos);
    EXPECT_EQ(contents(), broken);
}

TEST_F(SettingsStoreTest, BytesThatAreNotTextAreReportedWithTheirLine) {
    put("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n\"admin\"=\"\x98\"\r\n");
    EXPECT_NE(errorOf([&] { SettingsStore(m_file).openKey("SoftwareRegQ5", false); }).find("wiersz 4"),
              std::string::npos);
    // UTF-16 cut off in the middle of a character on the second line, and the big-endian form.
    put(std::string("\xFF\xFE" "R\0\r\0\n\0E", 9));
    EXPECT_NE(errorOf([&] { SettingsStore(m_file).openKey("SoftwareRegQ5", false); }).find("wiersz 2: tekst UTF-16"),
              std::string::npos);
    put(std::string("\xFE\xFF\0R", 4));
    EXPECT_NE(errorOf([&] { SettingsStore(m_file).openKey("SoftwareRegQ5", false); }).find("UTF-16"),
              std::string::npos);
}

// What the registry editor of today writes when the key is exported: UTF-16LE after a byte-order
// mark, CR LF line ends, the version 5 header.
std::string utf16(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

const std::string kVersion5Export =
    "\xFF\xFE" + utf16("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n"
                       "\"Port\"=dword:00000002\r\n\"sys_nr\"=\"4711\"\r\n\"sys_nr2\"=\"1\"\r\n\"admin\"=\"") +
    std::string("\x42\x01", 2) /* ł */ + utf16("ad\"\r\n\"admin2\"=\"5\"\r\n\"path\"=hex(2):43,00,3a,00,00,00\r\n\r\n");

TEST_F(SettingsStoreTest, AVersion5ExportIsReadAndWrittenBackInItsOwnForm) {
    put(kVersion5Export);
    SettingsStore store(m_file);
    auto key = store.openKey("SoftwareRegQ5", false);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->readInteger("Port"), 2);
    EXPECT_EQ(key->readString("sys_nr"), "4711");
    EXPECT_EQ(key->readString("admin"), "ład");
    EXPECT_EQ(key->readString("path"), "C:") << "hex(2) of a version 5 export is UTF-16 text";

    // The same values written again leave every byte as it was.
    key->writeInteger("Port", 2);
    key->writeString("sys_nr", "4711");
    key->writeString("admin", "ład");
    EXPECT_EQ(contents(), kVersion5Export);

    // A changed value is written in the file's own form; changed back, the file is what it was.
    key->writeString("admin2", "Żuk");
    std::string expected = kVersion5Export;
    expected.replace(expected.find(utf16("\"admin2\"=\"5\"")), utf16("\"admin2\"=\"5\"").size(),
                     utf16("\"admin2\"=\"") + std::string("\x7B\x01", 2) + utf16("uk\""));
    EXPECT_EQ(contents(), expected);
    EXPECT_EQ(SettingsStore(m_file).openKey("SoftwareRegQ5", false)->readString("admin2"), "Żuk");
    key->writeString("admin2", "5");
    EXPECT_EQ(contents(), kVersion5Export);

    // The program's text stays Windows-1250 text, whatever the file can hold.
    EXPECT_EQ(errorOf([&] { key->writeString("admin", "snow ☃"); }), "Failed to set data for 'admin'");
    EXPECT_EQ(contents(), kVersion5Export);

    // A new key added to such a file keeps its form too.
    ASSERT_TRUE(store.openKey("Second", true));
    EXPECT_EQ(contents().substr(0, kVersion5Export.size()), kVersion5Export);
    EXPECT_EQ(contents().substr(kVersion5Export.size()), utf16("[HKEY_CURRENT_USER\\Second]\r\n\r\n"));
}

TEST_F(SettingsStoreTest, ASymbolicLinkStaysALinkAndItsTargetIsReplaced) {
    // settings.reg -> ../shared/first.reg -> second.reg (relative links, as a site sets them up).
    const fs::path shared = m_folder / "shared";
    fs::create_directories(shared);
    fs::create_directories(m_file.parent_path());
    std::ofstream(shared / "second.reg", std::ios::binary)
        << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n\"admin\"=\"9\"\r\n\r\n";
    fs::create_symlink("second.reg", shared / "first.reg");
    fs::create_symlink("../shared/first.reg", m_file);

    SettingsStore store(m_file);
    EXPECT_EQ(store.writeTarget(), m_file.parent_path() / "../shared/second.reg");
    auto key = store.openKey("SoftwareRegQ5", false);
    ASSERT_TRUE(key);
    key->writeString("admin", "77");

    EXPECT_TRUE(fs::is_symlink(m_file));
    EXPECT_TRUE(fs::is_symlink(shared / "first.reg"));
    EXPECT_EQ(fs::read_symlink(m_file), "../shared/first.reg");
    EXPECT_EQ(SettingsStore(shared / "second.reg").openKey("SoftwareRegQ5", false)->readString("admin"), "77");
    struct stat st {};
    ASSERT_EQ(stat((shared / "second.reg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // No temporary file is left in either folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(shared), fs::directory_iterator()), 2);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_file.parent_path()), fs::directory_iterator()), 1);

    // A link that leads to no file yet: the first start makes the file where it leads.
    fs::remove(shared / "second.reg");
    ASSERT_TRUE(store.openKey("SoftwareRegQ5", true));
    EXPECT_TRUE(fs::is_symlink(m_file));
    EXPECT_TRUE(fs::is_regular_file(shared / "second.reg"));

    // A loop of links is refused, naming the file, and nothing is made.
    fs::remove(shared / "second.reg");
    fs::create_symlink("first.reg", shared / "second.reg");
    EXPECT_EQ(errorOf([&] { store.openKey("SoftwareRegQ5", true); }),
              "Nie można odczytać ustawień z pliku " + m_file.string() + ": zbyt wiele dowiązań symbolicznych.");
    EXPECT_EQ(std::distance(fs::directory_iterator(shared), fs::directory_iterator()), 2);
}

TEST_F(SettingsStoreTest, AReadOnlyFileIsReadButNeverReplaced) {
    const std::string text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n\"admin\"=\"9\"\r\n\r\n";
    put(text);
    fs::permissions(m_file, fs::perms::owner_read | fs::perms::group_read);
    SettingsStore store(m_file);
    auto key = store.openKey("SoftwareRegQ5", false);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->readString("admin"), "9");
    // Refused even for the superuser, who could write it: the mode says it is not to be changed.
    const std::string refused = "Nie można zapisać ustawień w pliku " + m_file.string() + ": plik jest tylko do odczytu.";
    EXPECT_EQ(errorOf([&] { key->writeString("admin", "1"); }), refused);
    EXPECT_EQ(errorOf([&] { key->writeString("admin", "9"); }), "(no error)") << "it holds that already";
    EXPECT_EQ(errorOf([&] { store.openKey("Second", true); }), refused);
    EXPECT_EQ(contents(), text);
    EXPECT_EQ(fs::status(m_file).permissions(), fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_file.parent_path()), fs::directory_iterator()), 1);
}

TEST_F(SettingsStoreTest, TheFileLivesInTheUsersConfigFolder) {
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = xdg ? xdg : "";
    setenv("HOME", "/home/someone", 1);
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(SettingsStore::defaultFile(), fs::path("/cfg/talvern/settings.reg"));
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(SettingsStore::defaultFile(), fs::path("/home/someone/.config/talvern/settings.reg"));
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsStore::defaultFile(), fs::path("/home/someone/.config/talvern/settings.reg"));
    setenv("HOME", savedHome.c_str(), 1);
    if (xdg)
        setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
}

} // namespace
