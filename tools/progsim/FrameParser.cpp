#include "FrameParser.h"

#include <algorithm>

namespace talvern::progsim {

std::vector<ParsedItem> FrameParser::feed(const std::uint8_t* data, std::size_t size) {
    m_buffer.insert(m_buffer.end(), data, data + size);
    std::vector<ParsedItem> out;
    parse(out);
    return out;
}

std::vector<ParsedItem> FrameParser::flush() {
    std::vector<ParsedItem> out;
    while (!m_buffer.empty()) {
        dropGarbage(1, out);
        parse(out);
    }
    return out;
}

void FrameParser::dropGarbage(std::size_t count, std::vector<ParsedItem>& out) {
    // Consecutive garbage is reported as one piece.
    if (out.empty() || out.back().kind != ParsedItem::Kind::Garbage) {
        out.push_back({ParsedItem::Kind::Garbage, {}});
    }
    out.back().bytes.insert(out.back().bytes.end(), m_buffer.begin(),
                            m_buffer.begin() + static_cast<std::ptrdiff_t>(count));
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(count));
}

void FrameParser::parse(std::vector<ParsedItem>& out) {
    for (;;) {
        const auto start = std::find(m_buffer.begin(), m_buffer.end(), card::kFrameStart);
        if (start != m_buffer.begin()) {
            dropGarbage(static_cast<std::size_t>(start - m_buffer.begin()), out);
        }
        if (m_buffer.size() < 2) {
            return;
        }
        const std::size_t length = m_buffer[1];
        if (length < 3 || length + 1 > kMaxFrameSize) {
            dropGarbage(1, out);
            continue;
        }
        if (m_buffer.size() < length + 1) {
            return;
        }
        Bytes frame(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(length + 1));
        std::uint8_t sum = 0;
        for (std::size_t i = 0; i < length; ++i) {
            sum ^= frame[i];
        }
        if (sum == frame[length]) {
            m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(length + 1));
            out.push_back({ParsedItem::Kind::Frame, std::move(frame)});
        } else {
            out.push_back({ParsedItem::Kind::BadChecksum, std::move(frame)});
            m_buffer.erase(m_buffer.begin());
        }
    }
}

} // namespace talvern::progsim
