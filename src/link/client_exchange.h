// ClientExchange: a set of channels over the client calls of the communication
// library, sent and received whole once per exchange round.
//
// Each channel has an id (positive, unique in its set), a library connection
// and a send buffer that always starts with the 4 bytes of its id. write()
// appends values to a channel's buffer, send() hands every channel's message to
// the library in table order and starts the buffers again with their ids,
// receive() takes one message for every channel and read() takes its values
// after the id. Messages are native byte order, no length prefix.
//
// Receiving counts channels, not messages: it ends when every channel of the
// set has a message. A second message for a channel that already has one in
// this round is kept for the next round, in order. Failures throw LinkFatal:
// "Channel not found" (a message for an id the set does not hold), "Channel
// message too short", the transport texts, and "Timed out waiting for channel
// messages." when a channel has nothing for wakro::peer_wait_ms. Once a stop
// signal has come the round lasts wakro::kWaitAfterStopMs more at most, also
// while messages keep arriving, and may end with channels still without a
// message (read() then leaves the values as they are): the caller sees the
// signal and ends the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "link/exchange.h"
#include "link/hashtable.h"

class ClientExchange {
 public:
  using Callback = void (*)(int id);

  // Pairs of receive and send buffers, one pair per channel.
  class BufferPool {
   public:
    static constexpr int kInitialCapacity = 32;
    BufferPool();
    // Adds a new pair of 4096-byte buffers; the index of the pair.
    int appendPool();
    // Grows the capacity (doubling) until it exceeds n.
    void ensureCapacity(int n);
    // The i-th pair's buffers; null outside 0 .. Count() - 1. The receive
    // buffer is made large enough for size bytes, its position 0.
    Exchange::Buffer* getSendBuffer(int i);
    Exchange::Buffer* getRecvBuffer(int i, std::int32_t size);
    int Count() const { return count_; }
    int Capacity() const { return capacity_; }

   private:
    std::vector<std::unique_ptr<Exchange::Buffer>> recv_;
    std::vector<std::unique_ptr<Exchange::Buffer>> send_;
    int capacity_ = kInitialCapacity;
    int count_ = 0;
  };

  struct Channel {
    std::int32_t id = 0;
    std::uint16_t connection = 0;
    int pair = -1;
    Exchange::Buffer* send = nullptr;
    Exchange::Buffer* recv = nullptr;  // null until a message arrived in this round
    std::deque<std::vector<unsigned char>> held;  // early messages for later rounds
  };

  // Largest text a read() delivers by default (511 characters and the NUL).
  static constexpr std::size_t kTextBuffer = 512;

  ClientExchange();
  ~ClientExchange();
  ClientExchange(const ClientExchange&) = delete;
  ClientExchange& operator=(const ClientExchange&) = delete;

  // Adds a channel. Refuses (false, reported on standard error) an id that is
  // not positive or already in the set.
  bool newChannel(unsigned short connection, int id);
  void write(int id, std::int32_t value);
  void write(int id, double value);
  void write(int id, const char* text);
  // Next value of the channel's received message; nothing when the id is
  // unknown or no message arrived in this round.
  void read(int id, std::int32_t& value);
  void read(int id, double& value);
  // The next text into text (size bytes with the NUL; longer texts are cut).
  void read(int id, char* text, std::size_t size = kTextBuffer);
  void send();
  void receive(Callback callback = nullptr);

  int Count() const { return static_cast<int>(channels_.size()); }
  const Channel* Find(int id) const;
  const BufferPool& Pool() const { return pool_; }
  // Drops every channel and buffer (the set is empty again).
  void clear();

 private:
  Channel* find(int id) const;
  // Makes data the channel's message of this round.
  void deliver(Channel& channel, const unsigned char* data, std::int32_t n);

  BufferPool pool_;
  std::unique_ptr<HashTable> table_;
  std::vector<std::unique_ptr<Channel>> channels_;  // in table order
  std::vector<unsigned char> scratch_;              // one message being routed
};

// The engine-to-engine channel sets over the library: client ends and server
// ends of the links.
extern ClientExchange lumbraENICEx;
extern ClientExchange lumbraENISEx;
