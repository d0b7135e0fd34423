#pragma once
// Errors of the settings store. what() is UTF-8 text meant for the operator.

#include <stdexcept>
#include <string>

namespace talvern::settings {

class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;

    // The texts the program shows when a value cannot be read or written.
    static SettingsError failedToGet(const std::string& valueName);
    static SettingsError invalidType(const std::string& valueName);
    static SettingsError failedToSet(const std::string& valueName);
};

// The settings file exists but is not a well-formed REGEDIT4 text. The file is left untouched.
class SettingsFileError : public SettingsError {
public:
    SettingsFileError(const std::string& file, int line, const std::string& reason);
    int line() const { return m_line; }

private:
    int m_line;
};

} // namespace talvern::settings
