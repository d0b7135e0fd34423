#pragma once

#include <stdexcept>
#include <string>

namespace talvern::dbf {

// Every failure of the dBASE engine: a file that cannot be opened or locked, a damaged table, a value that a
// field cannot hold. what() is English UTF-8 text for logs and the table tool and names the table file where
// one is known; operatorText() is the same failure told to the operator in Polish, where the engine has it.
class DbfError : public std::runtime_error {
public:
    explicit DbfError(const std::string& text) : std::runtime_error(text) {}
    DbfError(const std::string& text, std::string operatorText)
        : std::runtime_error(text), m_operatorText(std::move(operatorText)) {}

    // The Polish text for a message box; the English one where no Polish text was given.
    std::string operatorText() const { return m_operatorText.empty() ? std::string(what()) : m_operatorText; }
    bool hasOperatorText() const { return !m_operatorText.empty(); }

private:
    std::string m_operatorText;
};

} // namespace talvern::dbf
