#include "Csv.h"

#include <stdexcept>

namespace talvern::dbftool {

void writeCsvRow(std::ostream& out, const std::vector<std::string>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            out << ',';
        }
        const std::string& f = fields[i];
        if (f.find_first_of(",\"\r\n") == std::string::npos) {
            out << f;
            continue;
        }
        out << '"';
        for (char c : f) {
            if (c == '"') {
                out << '"';
            }
            out << c;
        }
        out << '"';
    }
    out << "\r\n";
}

std::optional<std::vector<std::string>> readCsvRow(std::istream& in) {
    if (in.peek() == std::char_traits<char>::eof()) {
        return std::nullopt;
    }
    std::vector<std::string> fields(1);
    bool quoted = false;
    bool wasQuoted = false;
    char c;
    while (in.get(c)) {
        if (quoted) {
            if (c == '"') {
                if (in.peek() == '"') {
                    in.get(c);
                    fields.back() += '"';
                } else {
                    quoted = false;
                }
            } else {
                fields.back() += c;
            }
            continue;
        }
        if (c == '"' && fields.back().empty() && !wasQuoted) {
            quoted = true;
            wasQuoted = true;
        } else if (c == ',') {
            fields.emplace_back();
            wasQuoted = false;
        } else if (c == '\n') {
            return fields;
        } else if (c == '\r') {
            if (in.peek() == '\n') {
                in.get(c);
            }
            return fields;
        } else {
            fields.back() += c;
        }
    }
    if (quoted) {
        throw std::runtime_error("The CSV ends inside a quoted field");
    }
    return fields;
}

} // namespace talvern::dbftool
