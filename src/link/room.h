// Room `link`: the message links of the engine and the process services beside them.
//
// Owns: the abstract message link Exchange with its typed buffers and the key
// block (exchange.h), the TCP link ExchangeTcp (exchange_tcp.h), the ex… link
// bindings and field conversions (bindings.h), the communication-library facade
// Communication (communication.h) and the link through its server calls
// ExchangeLumbraServer (exchange_lumbra.h), the engine-to-engine links with
// their 1c/1s bindings (engine_links.h, records in servers.h) and library
// channel sets ClientExchange (client_exchange.h), the co-simulation channels
// (cosimulation.h), the failures that end the process and the peer time limit
// (link_failure.h), process spawning, waiting, host name and sleeping
// (process.h), and the small containers HashTable and Array (hashtable.h).
//
// May call: the C++ standard library and the operating system (POSIX sockets,
// posix_spawn, waitpid, gethostname, dlopen). The link needs only the standard library and
// the system; nothing of ours is included from here. Where a caller wants link
// failures reported elsewhere it reads the results (false, -1, Broken()).
#pragma once
