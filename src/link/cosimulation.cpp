// Co-simulation channels: big-endian messages, the queue of received messages
// looked up by time, and the bindings of model code.
#include "link/cosimulation.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include "link/communication.h"
#include "link/exchange.h"
#include "link/hashtable.h"
#include "link/link_failure.h"

namespace Cosimulation {

Buffer Channel::cBuffer;
ChannelManager cChannelManager;

namespace {

constexpr double kLoadFactor = 0.75;
constexpr std::size_t kInitialBuffer = 32;
constexpr int kHeaderSize = 12;  // id and time
constexpr int kValueSize = 8;
constexpr std::int64_t kIdOnly = 4;
constexpr unsigned kWait = 0;  // peek flags: may wait for the message

// Hash keys must be positive; channel ids start at 0.
std::int64_t key_of(unsigned id) { return static_cast<std::int64_t>(id) + 1; }

std::uint64_t read_be(const unsigned char* p, int n) {
  std::uint64_t v = 0;
  for (int k = 0; k < n; ++k) v = (v << 8) | p[k];
  return v;
}

double read_double(const unsigned char* p) {
  const std::uint64_t bits = read_be(p, kValueSize);
  double v = 0.0;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

// Deletes a chain of messages one by one (no recursion on long queues).
void delete_chain(Message* m) {
  while (m != nullptr) {
    Message* next = m->next;
    delete m;
    m = next;
  }
}

[[noreturn]] void no_data() { throw LinkFatal("No data received"); }

}  // namespace

Buffer::Buffer() : data_(kInitialBuffer, 0) {}

char* Buffer::getBuffer(std::size_t n) {
  if (n > data_.size()) data_.resize(n);
  return data_.data();
}

Channel::Channel(unsigned short connection, unsigned id, int receiveCount, int sendCount)
    : connection_(connection),
      id_(id),
      receiveCount_(receiveCount),
      sendCount_(sendCount),
      sendMessage_(std::make_unique<Message>(sendCount)),
      free_(new Message(receiveCount)),
      messageSize_(kValueSize * sendCount + kHeaderSize) {}

Channel::~Channel() {
  delete_chain(head_);
  delete_chain(free_);
}

int Channel::queued() const {
  int n = 0;
  for (const Message* m = head_; m != nullptr; m = m->next) ++n;
  return n;
}

int Channel::freed() const {
  int n = 0;
  for (const Message* m = free_; m != nullptr; m = m->next) ++n;
  return n;
}

char* Channel::setValue(char* p, unsigned v) {
  for (int k = 3; k >= 0; --k) *p++ = static_cast<char>((v >> (8 * k)) & 0xFFu);
  return p;
}

char* Channel::setValue(char* p, double v) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  for (int k = 7; k >= 0; --k) *p++ = static_cast<char>((bits >> (8 * k)) & 0xFFu);
  return p;
}

void Channel::setValue(double value, int i) {
  if (i < 0 || i >= sendCount_) throw LinkFatal("Index out of bounds");
  sendMessage_->values[static_cast<std::size_t>(i)] = value;
}

std::int64_t Channel::send(double time) {
  char* const start = cBuffer.getBuffer(static_cast<std::size_t>(messageSize_));
  char* p = setValue(start, id_);
  p = setValue(p, time);
  for (double& v : sendMessage_->values) {
    p = setValue(p, v);
    v = 0.0;
  }
  return Communication::send_client(connection_, start, static_cast<std::uint64_t>(messageSize_), 0);
}

void Channel::parse(const void* data, int n) {
  if (n < kValueSize * receiveCount_ + kHeaderSize) return;
  Message* m = free_;
  if (m != nullptr) {
    free_ = m->next;
    m->next = nullptr;
  } else {
    m = new Message(receiveCount_);
  }
  const auto* bytes = static_cast<const unsigned char*>(data);
  m->time = read_double(bytes + 4);
  for (int k = 0; k < receiveCount_; ++k)
    m->values[static_cast<std::size_t>(k)] = read_double(bytes + kHeaderSize + kValueSize * k);
  if (tail_ != nullptr) {
    tail_->next = m;
  } else {
    head_ = m;
  }
  tail_ = m;
}

unsigned Channel::getNextChannelMessage(unsigned short connection) {
  // 1. The next message's size; a message not there yet is waited for, up to
  //    the peer limit.
  const auto deadline = wakro::peer_deadline();
  int tries = 0;
  std::int64_t n = Communication::peek_client(connection, nullptr, 0, kWait);
  while (n < 0 && n > Communication::kPeerClosed) {
    if (std::chrono::steady_clock::now() > deadline) no_data();
    wakro::poll_pause(tries);
    n = Communication::peek_client(connection, nullptr, 0, kWait);
  }
  if (n <= kIdOnly || n > Exchange::kMaxMessage) no_data();
  // 2. Take it and route it by its id.
  char* b = cBuffer.getBuffer(static_cast<std::size_t>(n));
  const std::int64_t r = Communication::recv_client(connection, b, cBuffer.getSize(), kWait);
  if (r <= 0) no_data();
  const auto id = static_cast<unsigned>(read_be(reinterpret_cast<const unsigned char*>(b), 4));
  if (Channel* c = cChannelManager.find(id)) c->parse(b, static_cast<int>(r));
  return id;
}

double Channel::getValue(double time, int i) {
  if (i < 0 || i >= receiveCount_) throw LinkFatal("Index out of bounds");
  for (;;) {
    // 1. Messages older than the time go to the free list.
    while (head_ != nullptr && head_->time < time) {
      Message* old = head_;
      head_ = old->next;
      if (head_ == nullptr) tail_ = nullptr;
      old->next = free_;
      free_ = old;
    }
    // 2. The first message at or after the time.
    if (head_ != nullptr) return head_->values[static_cast<std::size_t>(i)];
    // 3. None: take messages until one for this channel is queued.
    while (getNextChannelMessage(connection_) != id_ || head_ == nullptr) {
    }
  }
}

ChannelManager::ChannelManager() : table_(std::make_unique<HashTable>(kLoadFactor)) {}
ChannelManager::~ChannelManager() = default;

bool ChannelManager::add(Channel* channel) {
  std::unique_ptr<Channel> owned(channel);
  if (channel == nullptr || !table_->append(channel, key_of(channel->getChannelId()))) return false;
  channels_.push_back(std::move(owned));
  return true;
}

Channel* ChannelManager::find(unsigned id) const { return static_cast<Channel*>(table_->fetch(key_of(id))); }

void ChannelManager::clear() {
  channels_.clear();
  table_ = std::make_unique<HashTable>(kLoadFactor);
}

}  // namespace Cosimulation

void exnewchco(const std::int32_t& connection, const std::int32_t& id, const std::int32_t& sendCount,
               const std::int32_t& receiveCount) {
  if (sendCount < 0 || receiveCount < 0) throw LinkFatal("Channel counts must not be negative");
  const auto channelId = static_cast<unsigned>(id);
  if (Cosimulation::cChannelManager.find(channelId) != nullptr) return;
  Cosimulation::cChannelManager.add(
      new Cosimulation::Channel(static_cast<unsigned short>(connection), channelId, receiveCount, sendCount));
}

void exputdco(const std::int32_t& id, const std::int32_t& i, const double& value) {
  if (auto* c = Cosimulation::cChannelManager.find(static_cast<unsigned>(id))) c->setValue(value, i);
}

void exsendco(const std::int32_t& id, const double& time) {
  auto* c = Cosimulation::cChannelManager.find(static_cast<unsigned>(id));
  if (c == nullptr) return;
  const std::int64_t r = c->send(time);
  if (r <= 0)
    Exchange::throwError(r == 0 ? "Unexpected closure of transport mechanism.\n"
                                : "Unexpected error at transport mechanism.\n");
}

void exgetdco(const std::int32_t& id, const double& time, const std::int32_t& i, double& value) {
  if (auto* c = Cosimulation::cChannelManager.find(static_cast<unsigned>(id))) value = c->getValue(time, i);
}
