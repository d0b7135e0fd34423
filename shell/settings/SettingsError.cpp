#include "SettingsError.h"

#include <cerrno>
#include <cstring>

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

std::string describeRead(const std::string& file, int line, const std::string& reason) {
    std::string text = "Nie można odczytać ustawień z pliku " + file;
    if (line > 0)
        text += ", wiersz " + std::to_string(line);
    return text + ": " + reason + ".";
}

} // namespace

SettingsFileError::SettingsFileError(const std::string& file, int line, const std::string& reason)
    : SettingsError(describeRead(file, line, reason)), m_line(line) {}

SettingsWriteError::SettingsWriteError(const std::string& file, const std::string& reason)
    : SettingsError("Nie można zapisać ustawień w pliku " + file + ": " + reason + ".") {}

std::string describeSystemError(int errorNumber) {
    switch (errorNumber) {
    case EACCES:
    case EPERM:
        return "brak uprawnień";
    case EROFS:
        return "system plików jest tylko do odczytu";
    case ENOSPC:
    case EDQUOT:
        return "brak miejsca na dysku";
    case ENOENT:
        return "brak pliku lub folderu";
    case ENOTDIR:
        return "część ścieżki nie jest folderem";
    case ELOOP:
        return "zbyt wiele dowiązań symbolicznych";
    case EIO:
        return "błąd wejścia-wyjścia";
    default:
        return std::string("błąd systemu: ") + std::strerror(errorNumber);
    }
}

} // namespace talvern::settings
