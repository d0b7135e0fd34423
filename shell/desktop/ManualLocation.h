#pragma once
// Where the operator's manual lies. "Plik pomocy" opens the site's own access.chm when there is one;
// otherwise it opens this manual's first page in the desktop's browser.
//
// The manual is looked for in two places, in this order: beside the program as a package installs
// it (<program folder>/../share/doc/talvern/manual/index.html), and in the source tree the program
// was built from (a build from a clone, which has not been installed).

#include <QString>
#include <QStringList>

#include <optional>

namespace talvern::desktop {

// The places the manual's first page is looked for, in order.
QStringList manualCandidates();

// The first of candidates that is a file, as an absolute path; empty when none is.
QString findManual(const QStringList& candidates);

// The manual's first page, or empty when the manual is not installed.
QString manualIndex();

// Tests put their own places in; std::nullopt restores the program's own.
void setManualCandidates(std::optional<QStringList> candidates);

} // namespace talvern::desktop
