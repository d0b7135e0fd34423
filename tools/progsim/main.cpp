// talvern-progsim: the simulated card programmer for demos and manual tests. See README.md.
#include "BuildVersion.h"
#include "Control.h"
#include "PtySimulator.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <poll.h>
#include <string>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace talvern::progsim;

namespace {

const char* kUsage =
    "usage: talvern-progsim [--com N] [--log FILE] [--map FILE] [--control SOCKET] [--no-card]\n"
    "                       [--no-pace] [--baud RATE] [--verbose]\n"
    "       talvern-progsim --version\n"
    "       talvern-progsim [--com N | --control SOCKET] place [USER SYSTEM [DUPLICATE]] | remove | show\n"
    "Runs a simulated card programmer on a pseudo-terminal registered as COM<N> (default 1) in the\n"
    "COM-port map; the second form drives one that is already running.\n";

[[noreturn]] void usage(const std::string& problem) {
    std::cerr << "talvern-progsim: " << problem << "\n" << kUsage;
    std::exit(2);
}

unsigned number(const std::string& option, const char* text) {
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (*text == '\0' || *end != '\0' || errno != 0 || value == 0 || value > 255000) {
        usage(option + " needs a positive number");
    }
    return static_cast<unsigned>(value);
}

} // namespace

int main(int argc, char** argv) {
    SimulatorOptions options;
    options.comPort = 1;
    std::string controlPath;
    std::vector<std::string> command;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                usage(arg + " needs a value");
            }
            return argv[++i];
        };
        if (arg == "--com") {
            options.comPort = number(arg, value());
        } else if (arg == "--log") {
            options.logFile = value();
        } else if (arg == "--map") {
            options.comPortMapFile = value();
        } else if (arg == "--control") {
            controlPath = value();
        } else if (arg == "--baud") {
            options.baudRate = number(arg, value());
        } else if (arg == "--no-card") {
            options.blankCard = false;
        } else if (arg == "--no-pace") {
            options.pace = false;
        } else if (arg == "--verbose") {
            verbose = true;
        } else if (arg == "--version") {
            std::cout << talvern::versionLine("talvern-progsim") << "\n";
            return 0;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (!arg.empty() && arg[0] == '-') {
            usage("unknown option " + arg);
        } else {
            command.assign(argv + i, argv + argc);
            break;
        }
    }
    if (controlPath.empty()) {
        controlPath = controlSocketPath(options.comPort);
    }

    if (!command.empty()) {
        std::string line;
        for (const auto& w : command) {
            line += (line.empty() ? "" : " ") + w;
        }
        try {
            std::cout << sendControlCommand(controlPath, line);
            return 0;
        } catch (const std::exception& e) {
            std::cerr << "talvern-progsim: " << e.what() << "\n";
            return 1;
        }
    }

    // Signals are taken through a descriptor so that the COM-port map entry is always removed.
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&signals, s);
    }
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);

    if (verbose || options.logFile.empty()) {
        options.onLog = [](const std::string& line) { std::cout << line << std::endl; };
    }
    try {
        PtySimulator simulator(options);
        const int control = listenControlSocket(controlPath);
        std::cout << "talvern-progsim: COM" << options.comPort << " is " << simulator.devicePath()
                  << "; control socket " << controlPath << std::endl;
        std::vector<pollfd> fds{{signalFd, POLLIN, 0}, {control, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        bool running = true;
        while (running) {
            if (::poll(fds.data(), fds.size(), -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                break;
            }
            if (fds[0].revents != 0) {
                running = false;
            }
            if (fds[1].revents & POLLIN) {
                const int connection = ::accept4(control, nullptr, nullptr, SOCK_CLOEXEC);
                if (connection >= 0) {
                    serveControlConnection(connection, simulator);
                }
            }
            if (fds.size() > 2 && fds[2].revents != 0) {
                std::string line;
                if (!std::getline(std::cin, line)) {
                    fds.pop_back(); // no terminal (started in the background): the socket remains
                } else if (line == "quit" || line == "exit") {
                    running = false;
                } else {
                    const std::string reply = runCommand(simulator, line);
                    if (!reply.empty()) {
                        std::cout << reply << std::endl;
                    }
                }
            }
        }
        ::close(control);
        ::unlink(controlPath.c_str());
    } catch (const std::exception& e) {
        std::cerr << "talvern-progsim: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
