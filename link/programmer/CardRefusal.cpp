#include "programmer/CardRefusal.h"

#include "OperatorMessages.h"

namespace talvern::link {

void showNotConnected() {
    OperatorMessages::show(QStringLiteral("Sprawdź połączenie "), QStringLiteral("Brak połączenia"));
}

void showRefusal(const card::CardRangeError& error) {
    using Kind = card::CardRangeError::Kind;
    const bool identity =
        error.kind() == Kind::UserNumber || error.kind() == Kind::DuplicateIndex || error.kind() == Kind::SystemCode;
    OperatorMessages::show(QString::fromUtf8(error.what()),
                           identity ? QStringLiteral("Przekroczenie zakresu") : QStringLiteral("Error"));
}

} // namespace talvern::link
