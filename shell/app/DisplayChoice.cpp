#include "DisplayChoice.h"

#include <QByteArray>
#include <QtGlobal>

namespace talvern {

void prepareDisplay() {
    if (qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM") || qgetenv("TALVERN_XCB_SHM") == "1")
        return;
    qputenv("QT_XCB_NO_MITSHM", "1");
}

} // namespace talvern
