#pragma once
// Driving a running simulator: the same text commands from its terminal and, through a local
// socket, from another process (`talvern-progsim --com 1 show`).
//
//   place                          a blank card
//   place USER SYSTEM [DUPLICATE]  a card already carrying that identity and no access
//   remove                         take the card away
//   show                           the card's blocks, identity and readers
//   help

#include "PtySimulator.h"

#include <string>

namespace talvern::progsim {

// Runs one command line; returns the text to show (ending without a line break).
std::string runCommand(PtySimulator& simulator, const std::string& line);

// Where the simulator registered as COM<port> listens: $XDG_RUNTIME_DIR/talvern-progsim-COM<port>.sock,
// or a per-user name in the temporary folder when XDG_RUNTIME_DIR is not set.
std::string controlSocketPath(unsigned port);

// A listening local socket at path (a stale one is replaced). Throws std::system_error.
int listenControlSocket(const std::string& path);

// Reads one command from a connection accepted on the socket, runs it and writes the reply.
void serveControlConnection(int connection, PtySimulator& simulator);

// Sends one command to the simulator listening at path and returns its reply. Throws
// std::system_error when no simulator listens there.
std::string sendControlCommand(const std::string& path, const std::string& line);

} // namespace talvern::progsim
