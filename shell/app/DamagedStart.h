#pragma once
// A start-up that met a damaged table: the operator is told which table and what is wrong, and offered
// the newest backup that passes its check. Nothing is restored without the operator's yes, and nothing
// is written to the damaged table either way.

#include <exception>
#include <string>

namespace talvern {

// Tells the operator why the start-up ended. When the error is a damaged table and a good backup exists,
// asks whether to restore it, and restores it on yes (the damaged state is first kept as a backup of its
// own). Returns true when the tables were restored and the start-up may be tried again.
bool reportStartupFailure(const std::exception& error);

// The backup folder the settings name (the value "kopie"), or the site's own kopie/ in the working directory.
std::string configuredBackupRoot();

} // namespace talvern
