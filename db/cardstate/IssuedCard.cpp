#include "IssuedCard.h"

namespace talvern::cards {

bool IssuedCard::isHolderCard() const {
    const bool holderKind =
        kind == kind::kUserCard || kind == kind::kDuplicate || kind == kind::kNoAccess || kind == kind::kWithdrawal;
    const bool written = result == result::kVerified || result == result::kUnverified;
    return holderKind && written && number != 0;
}

std::string kindText(const std::string& code) {
    if (code == kind::kUserCard)
        return "karta użytkownika";
    if (code == kind::kDuplicate)
        return "duplikat";
    if (code == kind::kNoAccess)
        return "karta bez dostępu";
    if (code == kind::kWithdrawal)
        return "usunięcie uprawnień";
    if (code == kind::kConfiguration)
        return "karta konfiguracyjna";
    if (code == kind::kLost)
        return "zgubiona karta";
    return code;
}

std::string resultText(const std::string& code) {
    if (code == result::kVerified)
        return "zapisana i sprawdzona";
    if (code == result::kUnverified)
        return "zapisana bez sprawdzenia";
    if (code == result::kNotVerified)
        return "niepotwierdzona";
    if (code == result::kCutShort)
        return "przerwana";
    if (code == result::kReported)
        return "zgłoszona";
    return code;
}

std::string readerList(const ReaderSet& readers) {
    std::string text;
    for (std::size_t bit = 0; bit < readers.size(); ++bit) {
        if (!readers.test(bit))
            continue;
        if (!text.empty())
            text += ", ";
        text += std::to_string(bit + 1);
    }
    return text.empty() ? "—" : text;
}

} // namespace talvern::cards
