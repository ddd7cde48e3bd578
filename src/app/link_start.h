// Opening and closing the link to the design environment.
//
// beginCommunication opens the link when one is wanted: not standalone, a
// -locale value given and a port other than -1. The communication library named
// by -lumbra is tried first (a start result of 1 or 2 is a failure, with no TCP
// attempt after it); otherwise, or when the library does not load, a TCP link
// to the host (default "localhost") and port. A port outside 1 .. 65535 is
// reported and refused. endCommunication performs the closing exchange: it
// sends -999 and waits for the peer's -999, ignoring other messages; a link
// that breaks ends the wait.
#pragma once

#include <array>
#include <string>

#include "link/communication.h"  // wakro::bLumbra, the library in use for links

namespace wakro {

// The link to the design environment goes through the communication library.
inline bool bUseLumbra = false;
// The first command-line word, used in link errors and the exit line.
inline std::string szProgramName;

// The nine start texts of the communication library (program path, "/API",
// "TCP", "/HOST", host, "/PORT", port, "/ID", id), each cut to its buffer
// (260, 16, 16, 16, 256, 16, 16, 16, 16 bytes with the NUL).
std::array<std::string, 9> library_start_texts(const std::string& program, const std::string& host,
                                               int port, int id);

// Connects a TCP link to host:port and makes it exQuolb. On failure writes
// "<program>: <system error>" and "Failed to connect to <host>:<port>" on
// standard error and returns false with no link.
bool open_tcp_link(const std::string& host, int port);

}  // namespace wakro

bool beginCommunication();
bool endCommunication();
// Older-form loader (no caller here): loads the communication library named by
// the word after the first word from the second to the last but one that
// begins with "/Lumbra"; true at the first library that loads.
bool LoadLumbra(int argc, const char* const* argv);
