#include "VirtualProgrammer.h"

#include "card/IdCode.h"

#include <algorithm>
#include <sstream>

namespace talvern::progsim {

namespace {

std::optional<card::Identity> identityOf(const CardImage& image) {
    card::IdCode code{};
    std::copy(image[0].begin(), image[0].end(), code.begin());
    std::copy(image[1].begin(), image[1].end(), code.begin() + 4);
    return card::decodeIdCode(code);
}

std::string identityText(const card::Identity& bytes) {
    const card::CardIdentity id = card::identityFromBytes(bytes);
    return "user " + std::to_string(id.userNumber) + ", system code " + std::to_string(id.systemCode) + ", duplicate " +
           std::to_string(id.duplicateIndex);
}

} // namespace

VirtualProgrammer::Reply VirtualProgrammer::handle(const Bytes& frame) {
    switch (frame.at(2)) {
    case card::kConnectCommand:
        return {{kAck}, "connect"};
    case card::kDisconnectCommand:
        return {{kAck}, "disconnect"};
    case card::kReadCardCommand:
        return readCard();
    case card::kWriteBlockCommand:
        return writeBlock(frame);
    default:
        return {{}, "unknown command, no answer"};
    }
}

VirtualProgrammer::Reply VirtualProgrammer::writeBlock(const Bytes& frame) {
    if (frame.size() != card::kWriteBlockFrameSize) {
        return {{kNak}, "write-block of wrong length, refused"};
    }
    if (!std::equal(m_key.begin(), m_key.end(), frame.begin() + 3)) {
        return {{kNak}, "write-block with a wrong card key, refused"};
    }
    if (frame[7] != card::kWriteBlockMarker) {
        return {{kNak}, "write-block without the 4C marker, refused"};
    }
    const std::uint8_t block = frame[12];
    if (block < 1 || block > 6) {
        return {{kNak}, "write-block for block " + std::to_string(block) + ", refused"};
    }
    if (!m_card) {
        return {{kNak}, "write-block " + std::to_string(block) + " with no card, refused"};
    }
    if (m_dropBlock == block) {
        m_dropBlock.reset();
        return {{kAck}, "block " + std::to_string(block) + " acknowledged but not stored (dropped on request)"};
    }
    std::copy(frame.begin() + 8, frame.begin() + 12, (*m_card)[block - 1u].begin());
    return {{kAck}, "block " + std::to_string(block) + " stored"};
}

VirtualProgrammer::Reply VirtualProgrammer::readCard() const {
    if (!m_card) {
        return {{kNak}, "read-card: no card"};
    }
    const auto identity = identityOf(*m_card);
    if (!identity) {
        return {{kNak}, "read-card: the card's ID code does not decode"};
    }
    return {Bytes(identity->begin(), identity->end()), "read-card: " + identityText(*identity)};
}

std::string describeCard(const std::optional<CardImage>& image) {
    if (!image) {
        return "no card";
    }
    std::ostringstream text;
    for (std::size_t b = 0; b < 6; ++b) {
        text << "block " << b + 1 << ":" << card::traceText(Bytes(image->at(b).begin(), image->at(b).end())) << "\n";
    }
    const auto identity = identityOf(*image);
    if (!identity) {
        text << "ID code: does not decode (blank or foreign card)";
        return text.str();
    }
    text << "ID code: " << identityText(*identity);
    if (card::identityFromBytes(*identity).userNumber == 0) {
        text << " (configuration card)";
        return text.str();
    }
    text << "\nreaders:";
    bool any = false;
    for (std::size_t b = 0; b < 4; ++b) {
        const card::Block& block = image->at(2 + b);
        const bool checked = card::checkByte(block[0], block[1], block[2]) == block[3];
        for (std::size_t i = 0; i < 3; ++i) {
            for (int bit = 0; bit < 8; ++bit) {
                if (block[i] & (0x80 >> bit)) {
                    text << " " << 24 * b + 8 * i + static_cast<std::size_t>(bit) + 1;
                    any = true;
                }
            }
        }
        if (!checked) {
            text << " (block " << b + 3 << ": bad check byte)";
        }
    }
    if (!any) {
        text << " none";
    }
    return text.str();
}

} // namespace talvern::progsim
