#pragma once
// The serial component's configuration store on the program's settings file: a stored port
// setup is a binary value ("hex:" in the file) of a key below HKEY_CURRENT_USER, the only root
// the settings file keeps.

#include "ConfigStore.h"
#include "SettingsStore.h"

namespace talvern::settings {

class SerialConfigStore : public serial::ConfigStore {
public:
    explicit SerialConfigStore(SettingsStore store) : m_store(std::move(store)) {}

    // rootKey: "HKEY_CURRENT_USER" or "HKCU" (any letter case); another root throws SettingsError.
    std::optional<std::vector<uint8_t>> readBinary(const std::string& rootKey, const std::string& keyPath,
                                                   const std::string& valueName) override;
    void writeBinary(const std::string& rootKey, const std::string& keyPath, const std::string& valueName,
                     const std::vector<uint8_t>& bytes) override;

private:
    SettingsKey openKey(const std::string& rootKey, const std::string& keyPath);
    SettingsStore m_store;
};

} // namespace talvern::settings
