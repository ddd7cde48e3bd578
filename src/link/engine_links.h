// Engine-to-engine links: two engine processes exchanging values every step,
// each link end opened as a server or as a client.
//
// A link is a TCP link (ExchangeTcp: key block, length-prefixed messages) or a
// channel of a library channel set (lumbraENISEx for server ends, lumbraENICEx
// for client ends). The type argument chooses: type 3 (server bindings) and
// type 4 (client bindings) always mean TCP; any other type means a library
// channel while the communication library is in use (wakro::bLumbra), TCP
// otherwise. A TCP link is addressed by its port, a channel by its id.
//
// Two families of bindings reach the links: the client family (suffix 1c, the
// CEx records) and the server family (suffix 1s, the SEx records). Every member
// takes the link index (always 0) first and the id and type last. Values put
// under an id go to every TCP record with that id; receives and gets use the
// first record with the id. With library channels, exsend and exrecv do nothing
// (the whole set travels with exsendlumbra and exrecvlumbra).
//
// Every waiting receive ends after wakro::peer_wait_ms; a TCP link that breaks
// (peer closed, timed out) makes exrecv throw LinkFatal naming the link, so no
// caller polls a dead link for ever.
#pragma once

#include <cstdint>

// Link types that always mean TCP.
constexpr std::int32_t kClientTcpType = 4;
constexpr std::int32_t kServerTcpType = 3;

// Opening. wakroclient connects to host:id (TCP) or adds the channel id on the
// connection (library); false when the connection fails or the channel id is
// refused. wakroserver binds a TCP link to port (0: the system chooses, and the
// chosen port is returned in port and is the link's id) or adds the channel
// port on the connection; on failure it reports, sets port to -1 and returns
// false. hostLength, when given, is the length of the host field.
bool wakroclient(const char* host, const std::int32_t& id, const std::int32_t& connection,
                 const std::int32_t& type);
bool wakroserver(std::int32_t& port, const std::int32_t& connection, const std::int32_t& type,
                 const char* host, std::int32_t hostLength = 0);
// TCP only: listens on every server link with the id.
void serverlisten(const std::int32_t& backlog, const std::int32_t& id, const std::int32_t& index,
                  const std::int32_t& type);
// TCP: one bounded wait (10 to 999 ms) for the client on every server link with
// the id; the result of the last, false with no such link. Library: true.
bool serveraccept(const std::int32_t& id, const std::int32_t& index, const std::int32_t& type);

void exputi1c(const std::int32_t& index, const std::int32_t& value, const std::int32_t& id, const std::int32_t& type);
void exputi1s(const std::int32_t& index, const std::int32_t& value, const std::int32_t& id, const std::int32_t& type);
void exputr1c(const std::int32_t& index, const double& value, const std::int32_t& id, const std::int32_t& type);
void exputr1s(const std::int32_t& index, const double& value, const std::int32_t& id, const std::int32_t& type);
void exputs1c(const std::int32_t& index, const char* text, const std::int32_t& id, const std::int32_t& type);
void exputs1s(const std::int32_t& index, const char* text, const std::int32_t& id, const std::int32_t& type);
void exgeti1c(const std::int32_t& index, std::int32_t& value, const std::int32_t& id, const std::int32_t& type);
void exgeti1s(const std::int32_t& index, std::int32_t& value, const std::int32_t& id, const std::int32_t& type);
void exgetr1c(const std::int32_t& index, double& value, const std::int32_t& id, const std::int32_t& type);
void exgetr1s(const std::int32_t& index, double& value, const std::int32_t& id, const std::int32_t& type);
// The text (at most 511 characters) blank-padded into the field of width n.
void exgets1c(const std::int32_t& index, const std::int32_t& n, char* field, const std::int32_t& id,
              const std::int32_t& type);
void exgets1s(const std::int32_t& index, const std::int32_t& n, char* field, const std::int32_t& id,
              const std::int32_t& type);
void exsend1c(const std::int32_t& index, const std::int32_t& id, const std::int32_t& type);
void exsend1s(const std::int32_t& index, const std::int32_t& id, const std::int32_t& type);
bool exrecv1c(const std::int32_t& index, const bool& wait, const std::int32_t& id, const std::int32_t& type);
bool exrecv1s(const std::int32_t& index, const bool& wait, const std::int32_t& id, const std::int32_t& type);
void exsendlumbrac();
void exsendlumbras();
void exrecvlumbrac();
void exrecvlumbras();

// Closes every engine-to-engine link and empties CEx, SEx, both channel sets
// and the co-simulation channels.
void release_engine_links();
