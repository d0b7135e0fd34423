#pragma once

#include <cerrno>
#include <cstring>
#include <string>

namespace talvern::dbf {

// Why a file operation failed, in Polish, for the operator's message box: the causes an operator can act on
// (a full disk, missing rights, a read-only or failing disk) in words, any other as the system's own text.
inline std::string polishSystemError(int error) {
    switch (error) {
    case ENOSPC: return "brak miejsca na dysku";
    case EDQUOT: return "wyczerpany przydział miejsca na dysku";
    case EFBIG: return "plik osiągnął największy dozwolony rozmiar";
    case EACCES: case EPERM: return "brak uprawnień do pliku";
    case EROFS: return "dysk jest tylko do odczytu";
    case EIO: return "błąd odczytu lub zapisu dysku";
    case ENOENT: return "plik nie istnieje";
    case EMFILE: case ENFILE: return "otwarto zbyt wiele plików";
    default: return std::string("błąd systemu: ") + std::strerror(error);
    }
}

} // namespace talvern::dbf
