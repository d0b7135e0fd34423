#include "StoredConfig.h"

#include <bit>
#include <cstring>

namespace talvern::serial {
namespace {

// The line record is kept byte for byte as the classic little-endian layout.
static_assert(std::endian::native == std::endian::little, "the stored line record is little-endian");

void putU32(uint8_t* out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t getU32(const uint8_t* in) {
    return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}

} // namespace

std::vector<uint8_t> EncodeStoredConfig(const StoredConfig& config) {
    std::vector<uint8_t> value(kStoredConfigSize);
    value[0] = config.comPortNo;
    std::memcpy(value.data() + 1, &config.line, sizeof(TDCB));
    const TCommTimeouts& t = config.timeouts;
    const uint32_t times[5] = {t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
                               t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant};
    for (int i = 0; i < 5; ++i)
        putU32(value.data() + 29 + 4 * i, times[i]);
    return value;
}

std::optional<StoredConfig> DecodeStoredConfig(const std::vector<uint8_t>& bytes) {
    if (bytes.size() != kStoredConfigSize)
        return std::nullopt;
    StoredConfig config;
    config.comPortNo = bytes[0];
    std::memcpy(&config.line, bytes.data() + 1, sizeof(TDCB));
    TCommTimeouts& t = config.timeouts;
    t.ReadIntervalTimeout = getU32(bytes.data() + 29);
    t.ReadTotalTimeoutMultiplier = getU32(bytes.data() + 33);
    t.ReadTotalTimeoutConstant = getU32(bytes.data() + 37);
    t.WriteTotalTimeoutMultiplier = getU32(bytes.data() + 41);
    t.WriteTotalTimeoutConstant = getU32(bytes.data() + 45);
    return config;
}

} // namespace talvern::serial
