#include "TextCodec.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace talvern::settings {

namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : m_handle(iconv_open(to, from)) {
        if (m_handle == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("The text converter from ") + from + " to " + to +
                                     " is not available");
    }
    ~Converter() { iconv_close(m_handle); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts all of input; on failure returns nullopt and the offset of the offending byte.
    std::optional<std::string> run(const std::string& input, std::size_t* failedAt) {
        std::string output;
        output.resize(input.size() * 4 + 16);
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        char* out = output.data();
        std::size_t outLeft = output.size();
        while (inLeft > 0) {
            if (iconv(m_handle, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) {
                if (errno == E2BIG) {
                    const std::size_t used = output.size() - outLeft;
                    output.resize(output.size() * 2);
                    out = output.data() + used;
                    outLeft = output.size() - used;
                    continue;
                }
                if (failedAt)
                    *failedAt = static_cast<std::size_t>(in - input.data());
                return std::nullopt;
            }
        }
        output.resize(output.size() - outLeft);
        return output;
    }

private:
    iconv_t m_handle;
};

} // namespace

std::optional<std::string> cp1250ToUtf8(const std::string& bytes, DecodeFailure* failure) {
    Converter converter("UTF-8", "CP1250");
    std::size_t at = 0;
    auto result = converter.run(bytes, &at);
    if (!result && failure)
        failure->offset = at;
    return result;
}

std::optional<std::string> utf8ToCp1250(const std::string& text) {
    Converter converter("CP1250", "UTF-8");
    return converter.run(text, nullptr);
}

std::optional<std::string> utf16leToUtf8(const std::string& bytes, DecodeFailure* failure) {
    Converter converter("UTF-8", "UTF-16LE");
    std::size_t at = 0;
    auto result = converter.run(bytes, &at);
    if (!result && failure)
        failure->offset = at;
    return result;
}

std::optional<std::string> utf8ToUtf16le(const std::string& text) {
    Converter converter("UTF-16LE", "UTF-8");
    return converter.run(text, nullptr);
}

} // namespace talvern::settings
