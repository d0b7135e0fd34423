#include "card/Frame.h"

#include <stdexcept>

namespace talvern::card {

std::uint8_t frameChecksum(const Bytes& frame) {
    std::uint8_t sum = 0;
    for (std::uint8_t b : frame) {
        sum ^= b;
    }
    return sum;
}

Bytes AppendChecksum(Bytes frame) {
    const std::uint8_t sum = frameChecksum(frame);
    frame.push_back(sum);
    return frame;
}

namespace {
Bytes shortFrame(std::uint8_t command) {
    return AppendChecksum({kFrameStart, 0x03, command});
}
} // namespace

Bytes connectFrame() {
    return shortFrame(kConnectCommand);
}
Bytes readCardFrame() {
    return shortFrame(kReadCardCommand);
}
Bytes disconnectFrame() {
    return shortFrame(kDisconnectCommand);
}

Bytes writeBlockFrame(const CardKey& key, const Block& data, std::uint8_t blockNumber) {
    if (blockNumber < 1 || blockNumber > 6) {
        throw std::invalid_argument("block number outside 1..6");
    }
    Bytes frame{kFrameStart, 0x0D, kWriteBlockCommand};
    frame.insert(frame.end(), key.begin(), key.end());
    frame.push_back(kWriteBlockMarker);
    frame.insert(frame.end(), data.begin(), data.end());
    frame.push_back(blockNumber);
    return AppendChecksum(std::move(frame));
}

std::string traceText(const Bytes& frame) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(frame.size() * 3);
    for (std::uint8_t b : frame) {
        text += ' ';
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

} // namespace talvern::card
