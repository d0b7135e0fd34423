#pragma once
// Where the component keeps a stored port setup: a key-value store of binary values, addressed
// like the registry (root key, key path, value name). The application provides it (the program
// uses its settings file); the component only reads and writes one value at a time.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace talvern::serial {

class ConfigStore {
public:
    virtual ~ConfigStore() = default;
    // Both open the key, creating it when missing, and throw std::exception on any failure
    // (unknown root key, unreadable or unwritable store).
    // The value's bytes; nullopt when the key has no such value or it is not binary.
    virtual std::optional<std::vector<uint8_t>> readBinary(const std::string& rootKey, const std::string& keyPath,
                                                           const std::string& valueName) = 0;
    virtual void writeBinary(const std::string& rootKey, const std::string& keyPath, const std::string& valueName,
                             const std::vector<uint8_t>& bytes) = 0;
};

} // namespace talvern::serial
