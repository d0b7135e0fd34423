#pragma once
// Splits the byte stream from the program into programmer frames. Garbage before a start byte is
// skipped; a frame whose checksum does not match is reported and only its start byte is dropped, so
// a real frame hidden behind a stray 0x5A is still found. When the line falls idle a partial frame
// can never complete: flush() gives it up the same way.

#include "card/Frame.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace talvern::progsim {

using card::Bytes;

struct ParsedItem {
    enum class Kind { Frame, BadChecksum, Garbage };
    Kind kind;
    Bytes bytes;
};

class FrameParser {
public:
    // The longest frame accepted (L + 1); anything claiming more is garbage.
    static constexpr std::size_t kMaxFrameSize = 64;

    std::vector<ParsedItem> feed(const std::uint8_t* data, std::size_t size);
    std::vector<ParsedItem> flush();

    // Bytes held for a frame that is not complete yet.
    bool pending() const { return !m_buffer.empty(); }

private:
    void parse(std::vector<ParsedItem>& out);
    void dropGarbage(std::size_t count, std::vector<ParsedItem>& out);

    Bytes m_buffer;
};

} // namespace talvern::progsim
