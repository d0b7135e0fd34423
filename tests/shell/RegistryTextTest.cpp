// The REGEDIT4 text form: what it accepts, what it refuses (and on which line), and that a change
// of one value leaves every other line of a carried-over file exactly as it was.

#include "RegistryText.h"
#include "SettingsError.h"

#include <gtest/gtest.h>

using namespace talvern::settings;

namespace {

const std::string kKey = "HKEY_CURRENT_USER\\SoftwareRegQ5";

const std::string kWindowsExport = "REGEDIT4\r\n"
                                   "\r\n"
                                   "[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n"
                                   "\"Port\"=dword:00000002\r\n"
                                   "; kept by the site\r\n"
                                   "\"sys_nr\"=\"77\"\r\n"
                                   "\"blob\"=hex:01,02,\\\r\n"
                                   "  03,04\r\n"
                                   "\r\n"
                                   "[HKEY_CURRENT_USER\\Other]\r\n"
                                   "@=\"x \\\"quoted\\\" \\\\ y\"\r\n"
                                   "\r\n";

TEST(RegistryText, ReadsAWindowsExport) {
    const auto doc = RegistryDocument::parse(kWindowsExport, "settings.reg");
    ASSERT_TRUE(doc.hasKey("hkey_current_user\\softwareregq5"));
    EXPECT_EQ(doc.value(kKey, "port")->integer, 2u);
    EXPECT_EQ(doc.value(kKey, "sys_nr")->text, "77");
    EXPECT_EQ(doc.value(kKey, "blob")->bytes, (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(doc.value("HKEY_CURRENT_USER\\Other", "")->text, "x \"quoted\" \\ y");
    EXPECT_EQ(doc.value(kKey, "admin"), nullptr);
    EXPECT_EQ(doc.serialize(), kWindowsExport);
}

TEST(RegistryText, ChangingOneValueKeepsEveryOtherLine) {
    auto doc = RegistryDocument::parse(kWindowsExport, "settings.reg");
    ASSERT_TRUE(doc.setValue(kKey, RegistryValue::makeText("SYS_NR", "78")));
    ASSERT_TRUE(doc.setValue(kKey, RegistryValue::makeText("admin", "5")));
    std::string expected = kWindowsExport;
    expected.replace(expected.find("\"sys_nr\"=\"77\""), 13, "\"sys_nr\"=\"78\"");
    // A new value goes after the key's last value, before the blank line that ends the key.
    expected.insert(expected.find("  03,04\r\n") + 9, "\"admin\"=\"5\"\r\n");
    EXPECT_EQ(doc.serialize(), expected);
    EXPECT_FALSE(doc.setValue("HKEY_CURRENT_USER\\Missing", RegistryValue::makeText("a", "b")));
}

TEST(RegistryText, NewDocumentHasTheExportForm) {
    RegistryDocument doc;
    doc.addKey(kKey);
    doc.setValue(kKey, RegistryValue::makeInteger("Port", 1));
    doc.setValue(kKey, RegistryValue::makeText("sys_nr", "1"));
    EXPECT_EQ(doc.serialize(), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n\"Port\"=dword:00000001\r\n"
                               "\"sys_nr\"=\"1\"\r\n\r\n");
    doc.addKey("HKEY_CURRENT_USER\\Second");
    EXPECT_EQ(doc.serialize().substr(doc.serialize().size() - 32), "\r\n[HKEY_CURRENT_USER\\Second]\r\n\r\n");
}

TEST(RegistryText, FormatsEveryKindAndReadsItBack) {
    std::vector<std::uint8_t> long_(49);
    for (std::size_t i = 0; i < long_.size(); ++i)
        long_[i] = static_cast<std::uint8_t>(i * 7);
    RegistryValue expand = RegistryValue::makeBinary("e", {'a', 0});
    expand.hexType = 2;
    const std::vector<RegistryValue> values = {
        RegistryValue::makeText("quote\"and\\slash", "a \"b\" \\c\\"),
        RegistryValue::makeText("empty", ""),
        RegistryValue::makeInteger("negative", 0xFFFFFFFBu),
        RegistryValue::makeBinary("short", {0xAB}),
        RegistryValue::makeBinary("none", {}),
        RegistryValue::makeBinary("long", long_),
        expand,
    };
    RegistryDocument doc;
    doc.addKey(kKey);
    for (const auto& v : values)
        doc.setValue(kKey, v);
    const std::string text = doc.serialize();
    for (const auto& line : std::vector<std::string>{"\"negative\"=dword:fffffffb", "\"short\"=hex:ab",
                                                      "\"none\"=hex:", "\"e\"=hex(2):61,00",
                                                      "\"quote\\\"and\\\\slash\"=\"a \\\"b\\\" \\\\c\\\\\""})
        EXPECT_NE(text.find(line + "\r\n"), std::string::npos) << line;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find("\r\n", start);
        EXPECT_LE(end - start, 80u) << "lines wrap like an export";
        start = end + 2;
    }
    const auto back = RegistryDocument::parse(text, "x");
    for (const auto& v : values) {
        const RegistryValue* read = back.value(kKey, v.name);
        ASSERT_NE(read, nullptr) << v.name;
        EXPECT_EQ(read->kind, v.kind);
        EXPECT_EQ(read->text, v.text);
        EXPECT_EQ(read->integer, v.integer);
        EXPECT_EQ(read->bytes, v.bytes);
        EXPECT_EQ(read->hexType, v.hexType);
    }
}

TEST(RegistryText, AcceptsUnixLineEndsAndKeepsThem) {
    const std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\n\"Port\"=dword:3\n";
    auto doc = RegistryDocument::parse(text, "x");
    EXPECT_EQ(doc.value(kKey, "Port")->integer, 3u);
    doc.setValue(kKey, RegistryValue::makeInteger("Port", 4));
    EXPECT_EQ(doc.serialize(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\n\"Port\"=dword:00000004\n");
}

TEST(RegistryText, ReadsAVersion5ExportAndKeepsItsHeader) {
    const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n" + ("[" + kKey + "]\r\n") +
                             "\"admin\"=\"Zażółć\"\r\n\"Port\"=dword:00000003\r\n\r\n";
    auto doc = RegistryDocument::parse(text, "x");
    EXPECT_TRUE(doc.isUnicodeExport());
    EXPECT_FALSE(RegistryDocument::parse(kWindowsExport, "x").isUnicodeExport());
    EXPECT_EQ(doc.value(kKey, "admin")->text, "Zażółć");
    doc.setValue(kKey, RegistryValue::makeInteger("Port", 4));
    std::string expected = text;
    expected.replace(expected.find("dword:00000003"), 14, "dword:00000004");
    EXPECT_EQ(doc.serialize(), expected);
}

TEST(RegistryText, WritingBackWhatWasReadChangesNothing) {
    // A value set to what it holds keeps its own spelling, and a file without a line end after its
    // last line keeps that too until something changes.
    const std::string text = "REGEDIT4\r\n" + ("[" + kKey + "]\r\n") + "\"Port\"=dword:2\r\n\"admin\"=\"9\"";
    auto doc = RegistryDocument::parse(text, "x");
    doc.setValue(kKey, RegistryValue::makeInteger("port", 2));
    doc.setValue(kKey, RegistryValue::makeText("ADMIN", "9"));
    EXPECT_EQ(doc.serialize(), text);
    doc.setValue(kKey, RegistryValue::makeText("admin", "5"));
    EXPECT_EQ(doc.serialize(), "REGEDIT4\r\n" + ("[" + kKey + "]\r\n") + "\"Port\"=dword:2\r\n\"admin\"=\"5\"\r\n");
}

struct Malformed {
    const char* what;
    std::string text;
    int line;
};

class RegistryTextMalformed : public testing::TestWithParam<Malformed> {};

TEST_P(RegistryTextMalformed, NamesTheFileAndTheLine) {
    const auto& c = GetParam();
    try {
        RegistryDocument::parse(c.text, "/somewhere/settings.reg");
        FAIL() << "accepted: " << c.what;
    } catch (const SettingsFileError& e) {
        EXPECT_EQ(e.line(), c.line) << e.what();
        const std::string text = e.what();
        EXPECT_NE(text.find("/somewhere/settings.reg"), std::string::npos) << text;
        EXPECT_NE(text.find("wiersz " + std::to_string(c.line)), std::string::npos) << text;
    }
}

const std::string K = "[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, RegistryTextMalformed,
    testing::Values(Malformed{"empty file", "", 1}, Malformed{"no header", "\r\n" + K, 2},
                    Malformed{"another header", "Windows Registry Editor Version 4.00\r\n", 1},
                    Malformed{"value before key", "REGEDIT4\r\n\"a\"=\"b\"\r\n", 2},
                    Malformed{"unterminated key", "REGEDIT4\r\n[HKEY_CURRENT_USER\r\n", 2},
                    Malformed{"unquoted name", "REGEDIT4\r\n" + K + "a=\"b\"\r\n", 3},
                    Malformed{"no equals", "REGEDIT4\r\n" + K + "\"a\" \"b\"\r\n", 3},
                    Malformed{"unterminated text", "REGEDIT4\r\n" + K + "\"a\"=\"b\r\n", 3},
                    Malformed{"text then junk", "REGEDIT4\r\n" + K + "\"a\"=\"b\" c\r\n", 3},
                    Malformed{"dword too long", "REGEDIT4\r\n" + K + "\"Port\"=dword:000000001\r\n", 3},
                    Malformed{"dword not hex", "REGEDIT4\r\n" + K + "\"Port\"=dword:1g\r\n", 3},
                    Malformed{"dword empty", "REGEDIT4\r\n" + K + "\"Port\"=dword:\r\n", 3},
                    Malformed{"hex odd", "REGEDIT4\r\n" + K + "\"b\"=hex:1,02\r\n", 3},
                    Malformed{"hex trailing comma", "REGEDIT4\r\n" + K + "\"b\"=hex:01,\r\n", 3},
                    Malformed{"hex past end", "REGEDIT4\r\n" + K + "\r\n\"b\"=hex:01,\\\r\n", 4},
                    Malformed{"bad hex type", "REGEDIT4\r\n" + K + "\"b\"=hex(z):01\r\n", 3},
                    Malformed{"unknown type", "REGEDIT4\r\n" + K + "\"b\"=qword:01\r\n", 3},
                    Malformed{"delete value", "REGEDIT4\r\n" + K + "\"b\"=-\r\n", 3},
                    Malformed{"delete key", "REGEDIT4\r\n[-HKEY_CURRENT_USER\\X]\r\n", 2},
                    Malformed{"key twice", "REGEDIT4\r\n" + K + "\r\n" + K, 4}),
    [](const testing::TestParamInfo<Malformed>& info) {
        std::string name = info.param.what;
        for (char& c : name)
            if (!isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

} // namespace
