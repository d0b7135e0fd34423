#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace talvern::dbf {

// Converts between a table's single-byte code page and the program's UTF-8 text through iconv.
// One instance per open table; not thread-safe (iconv descriptors carry state), which fits the one
// user-interface thread that owns the tables.
class CodePage {
public:
    // charset: an iconv name such as "WINDOWS-1250". Throws DbfError when iconv does not know it.
    explicit CodePage(std::string charset = "WINDOWS-1250");
    ~CodePage();
    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;

    const std::string& charset() const { return m_charset; }

    // File bytes to UTF-8. Bytes without a character in the code page (none in Windows-1250 except
    // a few unassigned positions) become U+FFFD rather than failing, so a damaged name never blocks reading.
    std::string toUtf8(std::string_view bytes) const;

    // UTF-8 to file bytes. Throws DbfError naming the first character the code page cannot hold, or on
    // invalid UTF-8 input; never substitutes silently.
    std::string fromUtf8(std::string_view text) const;

    // The charset that a dBASE language-driver byte stands for; Windows-1250 for 0 and for bytes we do not
    // know, since the tables of this system are Windows-1250 unless marked otherwise.
    static std::string charsetForLanguageDriver(std::uint8_t driver);

    // The language-driver byte written into tables this engine creates: Windows-1250 (Eastern European).
    static constexpr std::uint8_t kWindows1250Driver = 0xC8;

private:
    std::string m_charset;
    // UTF-8 of each byte 0x80-0xFF as iconv converts it, filled once when the code page is set up, so that
    // reading text (the bulk of the work) needs no iconv call per field. Empty for multi-byte charsets.
    std::string m_highBytes[128];
    bool m_singleByte = false;
    void* m_toUtf8;
    void* m_fromUtf8;
};

} // namespace talvern::dbf
