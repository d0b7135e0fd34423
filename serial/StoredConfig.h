#pragma once
// The stored port setup as one 49-byte value: byte 0 the low byte of the port number, bytes
// 1-28 the line record, bytes 29-48 the five time-outs (little-endian 32-bit values).

#include "SerialTypes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace talvern::serial {

inline constexpr size_t kStoredConfigSize = 49;

struct StoredConfig {
    uint8_t comPortNo = 0;
    TDCB line;
    TCommTimeouts timeouts;
};

std::vector<uint8_t> EncodeStoredConfig(const StoredConfig& config);
// nullopt for a value of any other length than 49 bytes.
std::optional<StoredConfig> DecodeStoredConfig(const std::vector<uint8_t>& bytes);

} // namespace talvern::serial
