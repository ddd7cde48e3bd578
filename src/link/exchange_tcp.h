// ExchangeTcp: the message link over one TCP stream socket.
//
// Every message on the stream is a 32-bit total length (counting its own four
// bytes, in the sender's order, reversed when the swap flag is set) followed by
// the values. Before the first message the accepting side sends the 12-byte key
// block and the connecting side tests it.
//
// Receiving is a resumable state machine (key block, length prefix, body), so a
// message may arrive over several non-waiting calls. A length outside
// 4..kMaxMessage, a refused key, a transport error or the peer's closure ends the
// link for good (Broken()); no receive ever waits on a dead socket. Sends are
// completed, never leaving half a frame, and never raise SIGPIPE; a send that
// a peer reading nothing holds is ended by a stop signal, after which it waits
// kWaitAfterStopMs at most and then ends the link.
//
// POSIX sockets need no library start-up or clean-up, so nothing is counted
// across objects.
#pragma once

#include <sys/socket.h>

#include <cstdint>

#include "link/exchange.h"

// The connect system call, replaceable in tests.
using ConnectCall = int (*)(int, const sockaddr*, socklen_t);

// Connects the stream socket fd, going on when a signal interrupts the wait:
// connect is called again (it waits for the connection already under way);
// EISCONN then means the connection was made meanwhile, and EALREADY that it is
// still under way, for which poll waits. Returns 0, or -1 with errno set.
int connect_retrying(int fd, const sockaddr* address, socklen_t length,
                     ConnectCall call = &::connect);

class ExchangeTcp : public Exchange {
 public:
  ExchangeTcp();
  ~ExchangeTcp() override;

  // Client side: connects to host ("localhost" in any case is looked up by
  // name, anything else must be a dotted address) and awaits the key block.
  bool Connect(const char* host, int port);
  // Server side: a socket bound to the port (0: any free port) on every local
  // address, or on `address` when one is given. Returns the bound port, -1 on
  // failure, 0 when the bound port reads back as 0.
  int Bind(unsigned port, const char* address = nullptr);
  int Listen(int backlog);
  // Waits 10 to 999 ms (chosen at random) for one client; on success the
  // listening socket is closed and the key block is sent.
  bool Accept();

  void SendKey() override;
  void RecvKey() override;
  void SendMsg() override;
  bool RecvMsg(bool wait) override;
  int DataWaiting() const override;
  // The receive limit set with SetReceiveLimit in milliseconds; -1 when none.
  int ReceiveLimitMs() const;
  bool isDataWaiting() override;

  int Socket() const { return socket_; }
  // Bounds every waiting receive: one that gets nothing for ms milliseconds
  // ends with "Timed out waiting for the peer." and the link broken. 0: none.
  void SetReceiveLimit(int ms);

 private:
  enum class Stage { Key, Prefix, Body };

  void CloseSocket();
  // Sends all n bytes; 1 on success, 0 when the peer closed (also when it reset
  // the connection or the pipe broke), -1 on any other error, -2 when a peer
  // that took nothing more was given up after a stop signal (WaitToSend).
  int SendAll(const unsigned char* bytes, std::int32_t n);
  bool WaitToSend() const;
  void ReportSendResult(int result);
  // Marks the link broken after reporting the text (none when null).
  void Fail(const char* text);

  int socket_ = -1;
  Stage stage_ = Stage::Prefix;
  std::int32_t expected_ = 4;
  std::int32_t received_ = 0;
};
