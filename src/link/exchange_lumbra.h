// ExchangeLumbraServer: the link to the design environment through the server
// calls of the communication library.
//
// The library delivers whole messages, so a message is just the values in
// append order: no key block, no length prefix, never a byte reversal (both
// ends share the platform's order). A received message is read from its first
// byte, so its first value is its identifier.
//
// A receive that waits polls the library until a message comes; it ends with
// "Unexpected closure of transport mechanism." (and the link broken) when the
// library reports the connection closed. A receive whose size differs from the
// size peeked is a transport error, never a replay of the previous message.
#pragma once

#include <cstdint>

#include "link/exchange.h"

class ExchangeLumbraServer : public Exchange {
 public:
  explicit ExchangeLumbraServer(std::uint32_t id);

  void SendKey() override;
  void RecvKey() override;
  void SendMsg() override;
  bool RecvMsg(bool wait) override;
  int DataWaiting() const override;
  bool isDataWaiting() override;

  std::uint32_t Id() const { return id_; }

 private:
  void Fail(const char* text);

  std::uint32_t id_;
};
