#pragma once

#include "DbfError.h"

namespace talvern::backup {

// A backup or a restore that could not be done: English text for the tool and logs, Polish for the operator.
class BackupError : public dbf::DbfError {
public:
    using dbf::DbfError::DbfError;
};

} // namespace talvern::backup
