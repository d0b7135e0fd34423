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

// The settings file exists but cannot be read, or is not a well-formed registry export. The file is
// left untouched. The text is Polish and names the file (and the line, when one is at fault).
class SettingsFileError : public SettingsError {
public:
    SettingsFileError(const std::string& file, int line, const std::string& reason);
    int line() const { return m_line; }

private:
    int m_line;
};

// The settings file cannot be written (read-only, a folder that cannot be written, a full disk). The
// file keeps what it had. The text is Polish, names the file and says why.
class SettingsWriteError : public SettingsError {
public:
    SettingsWriteError(const std::string& file, const std::string& reason);
};

// The reason for a failed system call with error number errorNumber, in Polish for the common cases.
std::string describeSystemError(int errorNumber);

} // namespace talvern::settings
