#pragma once
// The operator's messages shared by the card operations.

#include "card/CardErrors.h"

namespace talvern::link {

// "Sprawdź połączenie " titled "Brak połączenia": the link is down.
void showNotConnected();

// A value that does not fit the card: the error's text, titled "Przekroczenie zakresu" for the card
// identity and "Error" for the reader settings.
void showRefusal(const card::CardRangeError& error);

} // namespace talvern::link
