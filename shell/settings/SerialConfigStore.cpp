#include "SerialConfigStore.h"

#include "SettingsError.h"

#include <algorithm>
#include <cctype>

namespace talvern::settings {
namespace {

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

} // namespace

SettingsKey SerialConfigStore::openKey(const std::string& rootKey, const std::string& keyPath) {
    const std::string root = upper(rootKey);
    if (root != "HKEY_CURRENT_USER" && root != "HKCU")
        throw SettingsError("The settings file keeps no key under " + rootKey);
    std::string path = keyPath;
    while (!path.empty() && path.front() == '\\')
        path.erase(path.begin());
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    if (path.empty())
        throw SettingsError("No key path for the port setup");
    auto key = m_store.openKey(path, true);
    if (!key)
        throw SettingsError("The key " + path + " could not be made");
    return std::move(*key);
}

std::optional<std::vector<uint8_t>> SerialConfigStore::readBinary(const std::string& rootKey,
                                                                  const std::string& keyPath,
                                                                  const std::string& valueName) {
    const SettingsKey key = openKey(rootKey, keyPath);
    if (!key.valueExists(valueName))
        return std::nullopt;
    try {
        return key.readBinary(valueName);
    } catch (const SettingsError&) {
        return std::nullopt; // a value of another type is no port setup
    }
}

void SerialConfigStore::writeBinary(const std::string& rootKey, const std::string& keyPath,
                                    const std::string& valueName, const std::vector<uint8_t>& bytes) {
    SettingsKey key = openKey(rootKey, keyPath);
    key.writeBinary(valueName, bytes);
}

} // namespace talvern::settings
