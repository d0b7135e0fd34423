#pragma once

#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace talvern::db::test {

struct RunResult {
    int exitCode = -1;
    std::string output; // standard output; standard error goes to the test log
};

// Runs a shell command and collects its standard output.
inline RunResult runCommand(const std::string& command) {
    RunResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        return result;
    }
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.output.append(buffer, n);
    }
    int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

inline std::string quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

} // namespace talvern::db::test
