#include "DesktopShell.h"

#include <QDesktopServices>

namespace talvern::desktop {

namespace {
Opener& opener() {
    static Opener instance;
    return instance;
}
} // namespace

void open(const QUrl& target) {
    if (opener()) {
        opener()(target);
        return;
    }
    QDesktopServices::openUrl(target);
}

void setOpener(Opener o) { opener() = std::move(o); }

} // namespace talvern::desktop
