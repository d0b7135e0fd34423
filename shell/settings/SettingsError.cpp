#include "SettingsError.h"

namespace talvern::settings {

SettingsError SettingsError::failedToGet(const std::string& valueName) {
    return SettingsError("Failed to get data for '" + valueName + "'");
}

SettingsError SettingsError::invalidType(const std::string& valueName) {
    return SettingsError("Invalid data type for '" + valueName + "'");
}

SettingsError SettingsError::failedToSet(const std::string& valueName) {
    return SettingsError("Failed to set data for '" + valueName + "'");
}

namespace {
std::string describe(const std::string& file, int line, const std::string& reason) {
    std::string text = "The settings file '" + file + "' cannot be read";
    if (line > 0)
        text += ", line " + std::to_string(line);
    return text + ": " + reason;
}
} // namespace

SettingsFileError::SettingsFileError(const std::string& file, int line, const std::string& reason)
    : SettingsError(describe(file, line, reason)), m_line(line) {}

} // namespace talvern::settings
