// Shared memory for X drawing is left off by default, and the operator's environment can keep it.

#include "DisplayChoice.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>

#include <optional>

namespace {

void setOrUnset(const char* name, const std::optional<QByteArray>& value) {
    if (value)
        qputenv(name, *value);
    else
        qunsetenv(name);
}

} // namespace

TEST(DisplayChoice, SharedMemoryOffUnlessTheEnvironmentSaysOtherwise) {
    struct Case {
        std::optional<QByteArray> noShm;     // QT_XCB_NO_MITSHM before
        std::optional<QByteArray> keepShm;   // TALVERN_XCB_SHM
        std::optional<QByteArray> noShmAfter;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, QByteArray("1")},          // the default: off
        {std::nullopt, QByteArray("1"), std::nullopt},          // kept on request
        {std::nullopt, QByteArray("0"), QByteArray("1")},       // anything but 1 is no request
        {QByteArray("yes"), std::nullopt, QByteArray("yes")},   // the operator's own setting stays
    };
    for (const Case& c : cases) {
        setOrUnset("QT_XCB_NO_MITSHM", c.noShm);
        setOrUnset("TALVERN_XCB_SHM", c.keepShm);
        talvern::prepareDisplay();
        if (c.noShmAfter)
            EXPECT_EQ(qgetenv("QT_XCB_NO_MITSHM"), *c.noShmAfter);
        else
            EXPECT_FALSE(qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"));
    }
    qunsetenv("QT_XCB_NO_MITSHM");
    qunsetenv("TALVERN_XCB_SHM");
}
