#include "BenchProcess.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

extern char** environ;

namespace fs = std::filesystem;

namespace talvern::bench {

fs::path benchFolder() {
    return fs::canonical("/proc/self/exe").parent_path();
}

fs::path makeScratchHome(const std::string& prefix) {
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data()))
        return {};
    const fs::path scratch = pattern;
    setenv("HOME", scratch.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (scratch / "config").c_str(), 1);
    // Qt wants a runtime folder of its owner's alone.
    fs::create_directories(scratch / "runtime");
    fs::permissions(scratch / "runtime", fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", (scratch / "runtime").c_str(), 1);
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return scratch;
}

const char* platformName() {
    return std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "xcb";
}

Child spawnReading(const std::vector<std::string>& command, const fs::path& folder) {
    Child child;
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return child;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> args;
    for (const auto& word : command)
        args.push_back(const_cast<char*>(word.c_str()));
    args.push_back(nullptr);
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    child.started = std::chrono::steady_clock::now();
    const int spawned = posix_spawn(&child.pid, command[0].c_str(), &actions, nullptr, args.data(), environ);
    fs::current_path(previous);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        child.pid = -1;
        return child;
    }
    child.out = pipeFds[0];
    return child;
}

bool readLine(int fd, std::string& line) {
    line.clear();
    char c = 0;
    while (read(fd, &c, 1) == 1) {
        if (c == '\n')
            return true;
        line += c;
    }
    return false;
}

bool waitForLine(int fd, const std::string& word) {
    std::string line;
    while (readLine(fd, line)) {
        if (line.find(word) != std::string::npos)
            return true;
    }
    return false;
}

void waitFor(Child& child) {
    if (child.out >= 0)
        close(child.out);
    if (child.pid > 0) {
        int status = 0;
        waitpid(child.pid, &status, 0);
    }
    child = {};
}

void end(Child& child) {
    if (child.pid > 0) {
        kill(child.pid, SIGTERM);
        int status = 0;
        waitpid(child.pid, &status, 0);
    }
    if (child.out >= 0)
        close(child.out);
    child = {};
}

} // namespace talvern::bench
