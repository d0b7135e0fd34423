// libFuzzer target: arbitrary bytes on the line into the simulated programmer, and arbitrary ID codes
// into the decoder. Every frame the parser gives has a length it accepts and a right checksum, the
// parser holds nothing after a flush, the programmer answers every frame without failing, and a
// decoded ID code encodes back to the same eight bytes.
#include "FrameParser.h"
#include "VirtualProgrammer.h"

#include "card/CardAnswer.h"
#include "card/IdCode.h"

#include <cstdlib>
#include <cstring>

using namespace talvern;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size >= 8) {
        card::IdCode code;
        std::memcpy(code.data(), data, 8);
        if (const auto identity = card::decodeIdCode(code); identity && card::EncodeIdCode(*identity) != code) {
            std::abort();
        }
    }
    progsim::FrameParser parser;
    progsim::VirtualProgrammer programmer;
    programmer.placeBlankCard();
    auto check = [&](const std::vector<progsim::ParsedItem>& items) {
        for (const auto& item : items) {
            if (item.kind != progsim::ParsedItem::Kind::Frame) {
                continue;
            }
            const auto& f = item.bytes;
            if (f.size() < 4 || f[0] != card::kFrameStart || f[1] + 1u != f.size() ||
                card::frameChecksum(card::Bytes(f.begin(), f.end() - 1)) != f.back()) {
                std::abort();
            }
            const auto reply = programmer.handle(f);
            card::evaluateCardAnswer(reply.answer, 70000);
        }
    };
    // Fed in two pieces, as a line delivers bytes in whatever chunks it likes.
    const std::size_t half = size / 2;
    check(parser.feed(data, half));
    check(parser.feed(data + half, size - half));
    check(parser.flush());
    if (parser.pending()) {
        std::abort();
    }
    return 0;
}
