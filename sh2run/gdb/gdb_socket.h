// The TCP transport of sh2run's GDB server (POSIX sockets).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "sh2run/gdb/gdb_server.h"

namespace sh2gdb {

enum class ClientEnd { Detached, Killed, Disconnected };

// Listens on 127.0.0.1:`port` (0: a free port the system picks), writes
// "listening on 127.0.0.1:PORT" to `announce`, accepts one client and closes
// the listening socket, so that a second client is refused by the system,
// then serves the client until it detaches, kills or goes away. While the
// target runs, the socket is read for the client's 0x03 interrupt byte
// whenever the target asks. False, with `error` set, when the socket cannot
// be set up.
bool ServeOverTcp(GdbServer &server, uint16_t port, FILE *announce, ClientEnd &end, std::string &error);

}  // namespace sh2gdb
