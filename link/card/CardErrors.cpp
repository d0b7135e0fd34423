#include "card/CardErrors.h"

#include <string>

namespace talvern::card {

namespace {
std::string message(CardRangeError::Kind kind, std::int64_t value) {
    const std::string v = std::to_string(value);
    const std::string notWritten = " Karta nie została zapisana.";
    switch (kind) {
    case CardRangeError::Kind::UserNumber:
        return "Numer użytkownika " + v + " nie mieści się na karcie (największy możliwy to 65535)." + notWritten;
    case CardRangeError::Kind::SystemCode:
        return "Kod systemowy " + v + " nie mieści się na karcie (największy możliwy to 1048575)." + notWritten;
    case CardRangeError::Kind::DuplicateIndex:
        return "Licznik duplikatów " + v + " nie mieści się na karcie (największy możliwy to 15)." + notWritten;
    case CardRangeError::Kind::NoReader:
        return "Brak wybranego czytnika." + notWritten;
    case CardRangeError::Kind::ReaderNumber:
        return "Numer czytnika " + v + " jest spoza zakresu 1..96." + notWritten;
    case CardRangeError::Kind::RelayTime:
        return "Czas otwarcia " + v + " s nie mieści się na karcie (zakres 0..255)." + notWritten;
    }
    return notWritten;
}
} // namespace

CardRangeError::CardRangeError(Kind kind, std::int64_t value)
    : std::runtime_error(message(kind, value)), m_kind(kind), m_value(value) {}

} // namespace talvern::card
