// Co-simulation channels: time-stamped vectors of doubles exchanged with
// another simulator through the client calls of the communication library.
//
// A channel has an id, a library connection, a number of values it sends and a
// number it receives. A message, on the wire, is big-endian with no other
// framing: the channel id (4 bytes), the time (8 bytes), the values (8 bytes
// each); a sent message has 8 x send count + 12 bytes. Received messages are
// queued oldest first and looked up by time: getValue(t, i) gives the i-th
// value of the first queued message at or after t, recycling older messages,
// and takes further messages from the connection while none is new enough.
//
// Indexes are 0-based. Misuse and a silent or closed peer end the process by
// throwing LinkFatal: "Index out of bounds", "No data received" (after waiting
// up to wakro::peer_wait_ms for a message), "Channel counts must not be
// negative".
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class HashTable;

namespace Cosimulation {

// A byte area shared by every channel for sending and receiving.
class Buffer {
 public:
  Buffer();
  // The area, reallocated to exactly n bytes when n exceeds its size.
  char* getBuffer(std::size_t n);
  std::size_t getSize() const { return data_.size(); }

 private:
  std::vector<char> data_;
};

struct Message {
  explicit Message(int count) : values(static_cast<std::size_t>(count), 0.0) {}
  Message* next = nullptr;
  double time = 0.0;
  std::vector<double> values;
};

class Channel {
 public:
  Channel(unsigned short connection, unsigned id, int receiveCount, int sendCount);
  ~Channel();
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  void setValue(double value, int i);
  // Sends the message of the time and the values set, then sets every value
  // back to 0; the library's result.
  std::int64_t send(double time);
  double getValue(double time, int i);
  // Takes the next message from the connection and queues it on its channel
  // (a message for an id no channel has is dropped); the id of the message.
  static unsigned getNextChannelMessage(unsigned short connection);
  // Queues a received message (ignored when shorter than 8 x receive count + 12).
  void parse(const void* data, int n);
  unsigned getChannelId() const { return id_; }
  unsigned short getConnection() const { return connection_; }
  int queued() const;
  int freed() const;

  // Big-endian writes; p advanced past the value.
  static char* setValue(char* p, unsigned v);
  static char* setValue(char* p, double v);

  static Buffer cBuffer;

 private:
  unsigned short connection_;
  unsigned id_;
  int receiveCount_;
  int sendCount_;
  std::unique_ptr<Message> sendMessage_;
  Message* head_ = nullptr;  // oldest queued message
  Message* tail_ = nullptr;
  Message* free_ = nullptr;
  int messageSize_;
};

class ChannelManager {
 public:
  ChannelManager();
  ~ChannelManager();
  ChannelManager(const ChannelManager&) = delete;
  ChannelManager& operator=(const ChannelManager&) = delete;

  // Takes ownership; false (and the channel deleted) when the id is taken.
  bool add(Channel* channel);
  Channel* find(unsigned id) const;
  void clear();

 private:
  std::unique_ptr<HashTable> table_;
  std::vector<std::unique_ptr<Channel>> channels_;
};

extern ChannelManager cChannelManager;

}  // namespace Cosimulation

// Bindings for model code.
void exnewchco(const std::int32_t& connection, const std::int32_t& id, const std::int32_t& sendCount,
               const std::int32_t& receiveCount);
void exputdco(const std::int32_t& id, const std::int32_t& i, const double& value);
void exsendco(const std::int32_t& id, const double& time);
void exgetdco(const std::int32_t& id, const double& time, const std::int32_t& i, double& value);
