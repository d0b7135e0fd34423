#include "card/ConfigCard.h"

#include "card/CardErrors.h"
#include "card/IdCode.h"

namespace talvern::card {

ReaderPosition readerPosition(std::int64_t reader) {
    if (reader < 1 || reader > kMaxReaderNumber) {
        throw CardRangeError(CardRangeError::Kind::ReaderNumber, reader);
    }
    const auto d = static_cast<int>(reader);
    const int bank = (d - 1) / 24;
    const int p = d - 24 * bank;
    ReaderPosition position;
    position.block = static_cast<std::uint8_t>(bank + 3);
    position.byteIndex = static_cast<std::uint8_t>((p - 1) / 8 + 1);
    position.mask = static_cast<std::uint8_t>(0x80 >> ((d - 1) % 8));
    return position;
}

Block systemBlock(std::uint32_t systemCode) {
    if (systemCode > kMaxSystemCode) {
        throw CardRangeError(CardRangeError::Kind::SystemCode, systemCode);
    }
    return checkedBlock(static_cast<std::uint8_t>(systemCode >> 8), static_cast<std::uint8_t>(systemCode),
                        static_cast<std::uint8_t>(((systemCode >> 16) & 0x0F) << 4));
}

Block readerPositionBlock(std::int64_t reader) {
    const ReaderPosition p = readerPosition(reader);
    return checkedBlock(p.block, p.byteIndex, p.mask);
}

std::uint8_t optionsByte(const ReaderOptions& options) {
    return static_cast<std::uint8_t>((options.prox ? 0x01 : 0) | (options.emulation ? 0x02 : 0) |
                                     (options.clearMemory ? 0x04 : 0));
}

Block optionsBlock(std::int64_t relayTimeSeconds, const ReaderOptions& options) {
    if (relayTimeSeconds < 0 || relayTimeSeconds > 255) {
        throw CardRangeError(CardRangeError::Kind::RelayTime, relayTimeSeconds);
    }
    return checkedBlock(static_cast<std::uint8_t>(relayTimeSeconds), optionsByte(options), 0);
}

AccessBlocks configurationBlocks(std::uint32_t systemCode, std::int64_t reader, std::int64_t relayTimeSeconds,
                                 const ReaderOptions& options) {
    const Block blocks[4] = {systemBlock(systemCode), readerPositionBlock(reader),
                             optionsBlock(relayTimeSeconds, options), Block{0, 0, 0, 0}};
    AccessBlocks out{};
    for (std::size_t b = 0; b < 4; ++b) {
        for (std::size_t i = 0; i < 4; ++i) {
            out[4 * b + i] = blocks[b][i];
        }
    }
    return out;
}

} // namespace talvern::card
