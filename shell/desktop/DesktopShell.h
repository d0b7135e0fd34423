#pragma once
// Hands a file or an address to the desktop, which opens it with the user's chosen program.
// The outcome is not checked: a desktop that cannot open it reports nothing to the program.
// Tests install an opener to see what would be opened.

#include <QUrl>

#include <functional>

namespace talvern::desktop {

using Opener = std::function<void(const QUrl&)>;

void open(const QUrl& target);
void setOpener(Opener opener); // nullptr restores the desktop's own

} // namespace talvern::desktop
