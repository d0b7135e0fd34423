#include "Control.h"

#include "card/AccessBlocks.h"
#include "card/CardErrors.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace talvern::progsim {

namespace {

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;) {
        out.push_back(w);
    }
    return out;
}

bool parseNumber(const std::string& text, std::uint32_t& value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || text[0] == '-' || v > 0xFFFFFFFFul) {
        return false;
    }
    value = static_cast<std::uint32_t>(v);
    return true;
}

const char* kHelp = "commands: place | place USER SYSTEM [DUPLICATE] | remove | drop [BLOCK] | show | help";

sockaddr_un addressOf(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        throw std::system_error(ENAMETOOLONG, std::generic_category(), "control socket path too long: " + path);
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

} // namespace

std::string runCommand(PtySimulator& simulator, const std::string& line) {
    const auto w = words(line);
    if (w.empty()) {
        return "";
    }
    if (w[0] == "place" && w.size() == 1) {
        simulator.placeBlankCard();
        return "blank card placed";
    }
    if (w[0] == "place" && (w.size() == 3 || w.size() == 4)) {
        card::CardIdentity id;
        if (!parseNumber(w[1], id.userNumber) || !parseNumber(w[2], id.systemCode) ||
            (w.size() == 4 && !parseNumber(w[3], id.duplicateIndex))) {
            return "not a number; usage: place USER SYSTEM [DUPLICATE]";
        }
        try {
            simulator.placeCard(card::cardImage(id, card::noAccessBlocks()));
        } catch (const card::CardRangeError& e) {
            return std::string("refused: ") + e.what();
        }
        return "card placed\n" + simulator.describeCard();
    }
    if (w[0] == "remove" && w.size() == 1) {
        simulator.removeCard();
        return "card removed";
    }
    if (w[0] == "drop" && (w.size() == 1 || w.size() == 2)) {
        std::uint32_t block = 1;
        if (w.size() == 2 && (!parseNumber(w[1], block) || block < 1 || block > 6)) {
            return "not a block number 1..6; usage: drop [BLOCK]";
        }
        simulator.dropNextWriteOf(static_cast<std::uint8_t>(block));
        return "the next write of block " + std::to_string(block) + " will be acknowledged but not stored";
    }
    if (w[0] == "show" && w.size() == 1) {
        return simulator.describeCard();
    }
    if (w[0] == "help") {
        return kHelp;
    }
    return std::string("unknown command; ") + kHelp;
}

std::string controlSocketPath(unsigned port) {
    const std::string name = "talvern-progsim-COM" + std::to_string(port) + ".sock";
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        return std::string(runtime) + "/" + name;
    }
    return (std::filesystem::temp_directory_path() /
            ("talvern-progsim-" + std::to_string(::getuid()) + "-COM" + std::to_string(port) + ".sock"))
        .string();
}

int listenControlSocket(const std::string& path) {
    const sockaddr_un address = addressOf(path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), "socket");
    }
    ::unlink(path.c_str());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0) {
        const int error = errno;
        ::close(fd);
        throw std::system_error(error, std::generic_category(), "cannot listen on " + path);
    }
    return fd;
}

void serveControlConnection(int connection, PtySimulator& simulator) {
    std::string line;
    char c;
    // One short line; a client that stalls is given up after a second.
    pollfd p{connection, POLLIN, 0};
    while (line.size() < 256 && ::poll(&p, 1, 1000) > 0 && ::read(connection, &c, 1) == 1 && c != '\n') {
        line += c;
    }
    const std::string reply = runCommand(simulator, line) + "\n";
    std::size_t done = 0;
    while (done < reply.size()) {
        const ssize_t n = ::send(connection, reply.data() + done, reply.size() - done, MSG_NOSIGNAL);
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(connection);
}

std::string sendControlCommand(const std::string& path, const std::string& line) {
    const sockaddr_un address = addressOf(path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), "socket");
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        throw std::system_error(error, std::generic_category(), "no simulated programmer listens on " + path);
    }
    const timeval patience{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    const std::string request = line + "\n";
    [[maybe_unused]] const ssize_t sent = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string reply;
    char buffer[512];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
        reply.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return reply;
}

} // namespace talvern::progsim
