#pragma once
// Labels whose text changes while the window is open (the connection state, the values of a card
// that was read) keep the accessible name that says what they are ("Stan połączenia", "Grupa") and
// carry what they show as their accessible description, so that a screen reader can tell both; the
// change of description is announced to it.

#include <QLabel>
#include <QString>

namespace talvern {

inline void showSpokenText(QLabel& label, const QString& text) {
    label.setText(text);
    label.setAccessibleDescription(text);
}

} // namespace talvern
