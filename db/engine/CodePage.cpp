#include "CodePage.h"

#include "DbfError.h"

#include <cerrno>
#include <iconv.h>

namespace talvern::dbf {
namespace {

iconv_t openConverter(const std::string& to, const std::string& from) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw DbfError("Text conversion from " + from + " to " + to + " is not available");
    }
    return cd;
}

bool isAscii(std::string_view s) {
    for (unsigned char c : s) {
        if (c >= 0x80) {
            return false;
        }
    }
    return true;
}

std::string firstCharacter(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    std::size_t len = 1;
    auto lead = static_cast<unsigned char>(utf8[0]);
    if (lead >= 0xF0) {
        len = 4;
    } else if (lead >= 0xE0) {
        len = 3;
    } else if (lead >= 0xC0) {
        len = 2;
    }
    return std::string(utf8.substr(0, len));
}

} // namespace

CodePage::CodePage(std::string charset)
    : m_charset(std::move(charset)), m_toUtf8(openConverter("UTF-8", m_charset)), m_fromUtf8(nullptr) {
    try {
        m_fromUtf8 = openConverter(m_charset, "UTF-8");
    } catch (...) {
        iconv_close(static_cast<iconv_t>(m_toUtf8));
        throw;
    }
    // Every code page a table can name is single-byte: learn its upper half from iconv once.
    m_singleByte = true;
    auto cd = static_cast<iconv_t>(m_toUtf8);
    for (int b = 0x80; b <= 0xFF; ++b) {
        char in[1] = {static_cast<char>(b)};
        char out[8];
        char* inPtr = in;
        char* outPtr = out;
        std::size_t inLeft = 1, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
            m_highBytes[b - 0x80] = "\xEF\xBF\xBD"; // unassigned in this code page
        } else {
            m_highBytes[b - 0x80].assign(out, static_cast<std::size_t>(outPtr - out));
        }
    }
}

CodePage::~CodePage() {
    iconv_close(static_cast<iconv_t>(m_toUtf8));
    iconv_close(static_cast<iconv_t>(m_fromUtf8));
}

std::string CodePage::toUtf8(std::string_view bytes) const {
    if (isAscii(bytes)) {
        return std::string(bytes);
    }
    if (m_singleByte) {
        std::string out;
        out.reserve(bytes.size() + bytes.size() / 2);
        for (unsigned char c : bytes) {
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else {
                out += m_highBytes[c - 0x80];
            }
        }
        return out;
    }
    auto cd = static_cast<iconv_t>(m_toUtf8);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.reserve(bytes.size() * 2);
    char buffer[256];
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // An unassigned byte of the code page: show the replacement character and go on.
            out += "\xEF\xBF\xBD";
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

std::string CodePage::fromUtf8(std::string_view text) const {
    if (isAscii(text)) {
        return std::string(text);
    }
    auto cd = static_cast<iconv_t>(m_fromUtf8);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.reserve(text.size());
    char buffer[256];
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            if (errno == EILSEQ && static_cast<unsigned char>(*in) >= 0xC0) {
                const std::string character = firstCharacter(std::string_view(in, inLeft));
                throw DbfError("The character \"" + character + "\" cannot be stored in a " + m_charset + " table",
                               "Znaku „" + character + "” nie można zapisać w tabeli o stronie kodowej " +
                                   m_charset + ".");
            }
            throw DbfError("The text is not valid UTF-8",
                           "Tekst zawiera nieprawidłowe znaki (niepoprawny zapis UTF-8).");
        }
    }
    return out;
}

std::string CodePage::charsetForLanguageDriver(std::uint8_t driver) {
    switch (driver) {
    case 0x01: return "CP437";
    case 0x02: return "CP850";
    case 0x03: return "WINDOWS-1252";
    case 0x57: return "WINDOWS-1252";
    case 0x64: return "CP852";
    case 0x65: return "CP866";
    case 0x66: return "CP865";
    case 0x67: return "CP861";
    case 0x6A: return "CP737";
    case 0x6B: return "CP857";
    case 0x7D: return "WINDOWS-1255";
    case 0x7E: return "WINDOWS-1256";
    case 0xC9: return "WINDOWS-1251";
    case 0xCA: return "WINDOWS-1254";
    case 0xCB: return "WINDOWS-1253";
    case 0xCC: return "WINDOWS-1257";
    default: return "WINDOWS-1250";
    }
}

} // namespace talvern::dbf
