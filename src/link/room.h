// Room `link`: the message links of the engine and the process services beside them.
//
// Owns: the abstract message link Exchange with its typed buffers and the key
// block (exchange.h), the TCP link ExchangeTcp (exchange_tcp.h), the ex… link
// bindings and field conversions (bindings.h), the communication-library facade
// Communication (communication.h), process spawning, waiting, host name and
// sleeping (process.h, with the server records in servers.h), and the small
// containers HashTable and Array (hashtable.h).
//
// May call: the C++ standard library and the operating system (POSIX sockets,
// posix_spawn, waitpid, gethostname). The link needs only the standard library and
// the system; nothing of ours is included from here. Where a caller wants link
// failures reported elsewhere it reads the results (false, -1, Broken()).
#pragma once
