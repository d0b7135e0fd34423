#include "card/CardWrite.h"

namespace talvern::card {

CardImage cardImage(const CardIdentity& identity, const AccessBlocks& blocks) {
    const IdCode code = EncodeIdCode(identityBytes(identity));
    CardImage image{};
    for (std::size_t i = 0; i < 4; ++i) {
        image[0][i] = code[i];
        image[1][i] = code[4 + i];
        for (std::size_t b = 0; b < 4; ++b) {
            image[2 + b][i] = blocks[4 * b + i];
        }
    }
    return image;
}

std::array<WriteStep, 6> planCardWrite(const CardIdentity& identity, const CardKey& key, const AccessBlocks& blocks) {
    const CardImage image = cardImage(identity, blocks);
    std::array<WriteStep, 6> steps;
    for (std::size_t b = 0; b < 6; ++b) {
        steps[b] = WriteStep{writeBlockFrame(key, image[b], static_cast<std::uint8_t>(b + 1)), kBlockPauses[b],
                             kGaugeAfterBlock[b]};
    }
    return steps;
}

} // namespace talvern::card
