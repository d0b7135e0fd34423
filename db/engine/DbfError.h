#pragma once

#include <stdexcept>
#include <string>

namespace talvern::dbf {

// Every failure of the dBASE engine: a file that cannot be opened or locked, a damaged table, a value that a
// field cannot hold. what() is UTF-8 text meant for the operator and names the table file where one is known.
class DbfError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace talvern::dbf
