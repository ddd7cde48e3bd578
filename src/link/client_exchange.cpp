// ClientExchange: channel records, their buffers, and the rounds of sending
// and receiving a whole channel set through the library's client calls.
#include "link/client_exchange.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "link/communication.h"
#include "link/link_failure.h"
#include "link/stop_signal.h"

ClientExchange lumbraENICEx;
ClientExchange lumbraENISEx;

namespace {

constexpr double kLoadFactor = 0.75;
constexpr std::int32_t kIdSize = 4;
constexpr unsigned kNoWait = 1;
constexpr unsigned kPlain = 0;

// Starts a send buffer again with the channel's id.
void restart(Exchange::Buffer& buffer, std::int32_t id) {
  buffer.position = 0;
  buffer.overrun = false;
  buffer.Insert(&id, kIdSize, false);
}

}  // namespace

// ---------------------------------------------------------------- BufferPool

ClientExchange::BufferPool::BufferPool() {
  recv_.reserve(kInitialCapacity);
  send_.reserve(kInitialCapacity);
}

void ClientExchange::BufferPool::ensureCapacity(int n) {
  if (capacity_ > n) return;
  while (capacity_ <= n) capacity_ *= 2;
  recv_.reserve(static_cast<std::size_t>(capacity_));
  send_.reserve(static_cast<std::size_t>(capacity_));
}

int ClientExchange::BufferPool::appendPool() {
  ensureCapacity(count_);
  recv_.push_back(std::make_unique<Exchange::Buffer>());
  send_.push_back(std::make_unique<Exchange::Buffer>());
  return count_++;
}

Exchange::Buffer* ClientExchange::BufferPool::getSendBuffer(int i) {
  return i >= 0 && i < count_ ? send_[static_cast<std::size_t>(i)].get() : nullptr;
}

Exchange::Buffer* ClientExchange::BufferPool::getRecvBuffer(int i, std::int32_t size) {
  if (i < 0 || i >= count_) return nullptr;
  Exchange::Buffer* b = recv_[static_cast<std::size_t>(i)].get();
  b->position = 0;
  b->CheckSize(size);
  return b;
}

// ---------------------------------------------------------------- channels

ClientExchange::ClientExchange() : table_(std::make_unique<HashTable>(kLoadFactor)) {}
ClientExchange::~ClientExchange() = default;

void ClientExchange::clear() {
  channels_.clear();
  table_ = std::make_unique<HashTable>(kLoadFactor);
  pool_ = BufferPool();
}

ClientExchange::Channel* ClientExchange::find(int id) const {
  return id > 0 ? static_cast<Channel*>(table_->fetch(id)) : nullptr;
}

const ClientExchange::Channel* ClientExchange::Find(int id) const { return find(id); }

bool ClientExchange::newChannel(unsigned short connection, int id) {
  // A second channel under one id would never be delivered to: refused, so
  // that a round never waits for a message that cannot come.
  if (id <= 0 || find(id) != nullptr) {
    const std::string text = "Channel id " + std::to_string(id) +
                             (id <= 0 ? " is not positive." : " is already in use.");
    Exchange::throwError(text.c_str());
    std::fputc('\n', stderr);
    return false;
  }
  auto channel = std::make_unique<Channel>();
  channel->id = id;
  channel->connection = connection;
  channel->pair = pool_.appendPool();
  channel->send = pool_.getSendBuffer(channel->pair);
  restart(*channel->send, id);
  table_->append(channel.get(), id);
  channels_.push_back(std::move(channel));
  return true;
}

void ClientExchange::write(int id, std::int32_t value) {
  if (Channel* c = find(id)) c->send->Insert(&value, 4, false);
}

void ClientExchange::write(int id, double value) {
  if (Channel* c = find(id)) c->send->Insert(&value, 8, false);
}

void ClientExchange::write(int id, const char* text) {
  Channel* c = find(id);
  if (c == nullptr) return;
  if (text == nullptr) text = "";
  const std::size_t n = std::strlen(text) + 1;
  if (n > static_cast<std::size_t>(Exchange::kMaxMessage)) {
    c->send->overrun = true;
    return;
  }
  c->send->Insert(text, static_cast<std::int32_t>(n), false);
}

void ClientExchange::read(int id, std::int32_t& value) {
  Channel* c = find(id);
  if (c != nullptr && c->recv != nullptr) c->recv->Extract(&value, 4, false);
}

void ClientExchange::read(int id, double& value) {
  Channel* c = find(id);
  if (c != nullptr && c->recv != nullptr) c->recv->Extract(&value, 8, false);
}

void ClientExchange::read(int id, char* text, std::size_t size) {
  Channel* c = find(id);
  if (c == nullptr || c->recv == nullptr || text == nullptr || size == 0) return;
  Exchange::Buffer& b = *c->recv;
  const std::int32_t start = std::clamp(b.position, 0, b.size);
  const unsigned char* begin = b.data.data() + start;
  const std::size_t avail = static_cast<std::size_t>(b.size - start);
  const void* nul = std::memchr(begin, 0, avail);
  const std::size_t len = nul ? static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - begin) : avail;
  const std::size_t kept = std::min(len, size - 1);
  std::memcpy(text, begin, kept);
  text[kept] = '\0';
  b.position = nul ? start + static_cast<std::int32_t>(len) + 1 : b.size;
  if (!nul) b.overrun = true;
}

void ClientExchange::send() {
  for (auto& c : channels_) {
    Exchange::Buffer& b = *c->send;
    const std::int64_t r = Communication::send_client(c->connection, b.data.data(),
                                                      static_cast<std::uint64_t>(b.position), kPlain);
    restart(b, c->id);
    if (r == 0) throw LinkFatal("Unexpected closure of transport mechanism.");
    if (r < 0) throw LinkFatal("Unexpected error at transport mechanism.");
  }
}

void ClientExchange::deliver(Channel& channel, const unsigned char* data, std::int32_t n) {
  channel.recv = pool_.getRecvBuffer(channel.pair, n);
  channel.recv->Assign(data, n);
  channel.recv->position = kIdSize;  // the next read starts after the id
}

void ClientExchange::receive(Callback callback) {
  // 1. No channel has a message yet; those that received early take theirs.
  int missing = 0;
  for (auto& c : channels_) {
    c->recv = nullptr;
    if (c->held.empty()) {
      ++missing;
      continue;
    }
    const std::vector<unsigned char>& m = c->held.front();
    deliver(*c, m.data(), static_cast<std::int32_t>(m.size()));
    c->held.pop_front();
    if (callback != nullptr) callback(c->id);
  }
  // 2. Look at the connections of the channels still waiting until each has
  //    its message, routing every message by its leading id.
  const auto deadline = wakro::peer_deadline();
  auto stop_deadline = std::chrono::steady_clock::time_point::max();
  int tries = 0;
  while (missing > 0) {
    // A stop signal bounds the round, whether or not messages keep coming.
    const auto now = std::chrono::steady_clock::now();
    if (wakro::g_received_stop_signal != 0 && stop_deadline == std::chrono::steady_clock::time_point::max())
      stop_deadline = now + std::chrono::milliseconds(wakro::kWaitAfterStopMs);
    if (now > stop_deadline) return;
    bool progress = false;
    for (std::size_t k = 0; k < channels_.size() && missing > 0; ++k) {
      const Channel& waiting = *channels_[k];
      if (waiting.recv != nullptr) continue;
      const std::int64_t n = Communication::peek_client(waiting.connection, nullptr, 0, kNoWait);
      if (n <= Communication::kPeerClosed) throw LinkFatal("Unexpected closure of transport mechanism.");
      if (n < 0) continue;
      if (n > Exchange::kMaxMessage) throw LinkFatal("Message too long.");
      scratch_.resize(std::max<std::size_t>(scratch_.size(), static_cast<std::size_t>(n)));
      const std::int64_t r = Communication::recv_client(waiting.connection, scratch_.data(),
                                                        static_cast<std::uint64_t>(n), kPlain);
      if (r != n) throw LinkFatal("Unexpected error at transport mechanism.");
      if (n < kIdSize) throw LinkFatal("Channel message too short");
      std::int32_t id = 0;
      std::memcpy(&id, scratch_.data(), kIdSize);
      Channel* target = find(id);
      if (target == nullptr) throw LinkFatal("Channel not found");
      progress = true;
      if (target->recv != nullptr) {
        target->held.emplace_back(scratch_.begin(), scratch_.begin() + n);
        continue;
      }
      deliver(*target, scratch_.data(), static_cast<std::int32_t>(n));
      --missing;
      if (callback != nullptr) callback(id);
    }
    if (missing == 0 || progress) continue;
    if (std::chrono::steady_clock::now() > deadline) throw LinkFatal("Timed out waiting for channel messages.");
    wakro::poll_pause(tries);
  }
}
