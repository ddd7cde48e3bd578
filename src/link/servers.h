// Records of the engine-to-engine links over TCP: server records, one per
// listening or accepted server link, with the process started for it (if any),
// and client records, one per connected client link.
//
// The records do not own their links (the links that wakroserver and
// wakroclient make belong to engine_links.cpp). A record's pid is that of the process
// spawnprocess started for it, 0 when none is running or it was already reaped.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <vector>

class Exchange;

struct SExRecord {
  std::int32_t id = 0;         // the server port
  Exchange* link = nullptr;    // not owned
  pid_t pid = 0;               // process started for this record, 0 when none
};

inline std::vector<SExRecord> SEx;

struct CExRecord {
  std::int32_t id = 0;         // the server's port
  Exchange* link = nullptr;    // not owned
};

inline std::vector<CExRecord> CEx;
