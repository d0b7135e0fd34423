#pragma once
// What the benches that time the program from outside share: a scratch home for the programs they
// start, starting one with its standard output on a pipe, and reading that output line by line.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace talvern::bench {

// The folder the running bench program lies in; the programs it starts lie beside it.
std::filesystem::path benchFolder();

// Makes a scratch folder named prefix-XXXXXX in the temporary folder and points HOME, XDG_CONFIG_HOME
// (its config/) and XDG_RUNTIME_DIR (its runtime/) at it, so that the programs started read and
// write no real user's files. Selects the offscreen platform unless DISPLAY or QT_QPA_PLATFORM is
// set. Returns an empty path when the folder cannot be made.
std::filesystem::path makeScratchHome(const std::string& prefix);

// The Qt platform the started programs use.
const char* platformName();

struct Child {
    pid_t pid = -1;
    int out = -1;                                  // its standard output
    std::chrono::steady_clock::time_point started; // just before it was started
};

// Starts command (its program's path first) in folder with its standard output on a pipe; pid is
// negative when it could not be started.
Child spawnReading(const std::vector<std::string>& command, const std::filesystem::path& folder);

// Reads one line from fd into line (without the newline); false at end of file.
bool readLine(int fd, std::string& line);

// Reads lines from fd until one contains word; false at end of file.
bool waitForLine(int fd, const std::string& word);

// Waits for the child to end on its own, after closing its output.
void waitFor(Child& child);

// Ends the child (SIGTERM) and waits for it.
void end(Child& child);

} // namespace talvern::bench
