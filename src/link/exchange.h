// Exchange: the message link between the engine and its peers.
//
// A sender appends typed values (32-bit integers, doubles, NUL-terminated texts)
// to the send buffer with << and sends them as one message with SendMsg(); a
// receiver takes one whole message into the receive buffer with RecvMsg() and
// takes the values out again with >> in the order both sides agreed on. Nothing
// on the wire names a value's type. Integers and doubles travel in the sender's
// native byte order and are byte-reversed on both ways when the swap flag is set;
// texts are never reversed.
//
// The byte order is settled once per link by a 12-byte key block (the integer
// 0x12345678 and the double 3.14159265359, native order) that the accepting side
// sends and the connecting side tests with KeyTest().
//
// Concrete links (ExchangeTcp, the library link) derive from this class. Every
// failure is reported on standard error as "Exchange Error: <text>" (throwError)
// and turned into a failure result; nothing is thrown out of a link operation.
//
// Reading is bounded: a value asked for beyond the bytes of the received message
// reads as 0 / 0.0 / "" and raises the receive buffer's overrun flag, so a short
// message can never replay stale bytes of an earlier one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class Exchange {
 public:
  // Key block values.
  static constexpr std::int32_t kKeyInteger = 0x12345678;
  static constexpr double kKeyDouble = 3.14159265359;
  static constexpr double kKeyTolerance = 1e-11;
  static constexpr std::int32_t kKeySize = 12;
  // Largest message a link accepts or builds (bytes, length prefix included).
  static constexpr std::int32_t kMaxMessage = 64 * 1024 * 1024;
  // Longest text that the bounded text reads deliver (bytes, NUL excluded).
  static constexpr std::size_t kMaxText = 65535;

  // A message buffer: the send buffer's position is its write cursor, the
  // receive buffer's its read cursor. `size` is the number of valid bytes of a
  // received message (the receive buffer never reads beyond it).
  struct Buffer {
    Buffer();
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    // Makes room for n more bytes at position. Refuses (returns false) a
    // negative n or a total beyond kMaxMessage; grows the capacity to exactly
    // position + n + 16 (the storage behind it is reserved geometrically, so a
    // long run of appends stays linear).
    bool CheckSize(std::int32_t n);
    // Copies n bytes to position (last byte first when reverse); the position
    // advances by n. A refused size sets the overrun flag and copies nothing.
    void Insert(const void* src, std::int32_t n, bool reverse);
    // Copies n bytes from position to dst (into dst from its end backwards when
    // reverse); the position advances by n. Bytes beyond `size` are not read:
    // dst is zero-filled, the position goes to `size` and the overrun flag is
    // raised. Returns false on such an overrun.
    bool Extract(void* dst, std::int32_t n, bool reverse);
    // Replaces the contents with n bytes (a received message), size n,
    // position 0, overrun cleared.
    bool Assign(const void* src, std::int32_t n);

    std::vector<unsigned char> data;  // capacity bytes
    std::int32_t capacity = 4096;
    std::int32_t increment = 512;  // kept for the record; growth does not use it
    std::int32_t position = 0;
    std::int32_t size = 0;  // valid bytes of a received message
    bool overrun = false;   // a read went past `size`, or an append was refused
  };

  Exchange();
  virtual ~Exchange();
  Exchange(const Exchange&) = delete;
  Exchange& operator=(const Exchange&) = delete;

  // Transport operations of the concrete links.
  virtual void SendKey() = 0;
  virtual void RecvKey() = 0;
  virtual void SendMsg() = 0;
  // Receives one message; true when a whole message is now in the receive
  // buffer with its read position at the first value.
  virtual bool RecvMsg(bool wait) = 0;
  // Bytes (or next message size) that can be received now; below 1 when none.
  virtual int DataWaiting() const = 0;
  // Whether anything can be received without waiting.
  virtual bool isDataWaiting() = 0;

  // Appending to the send buffer.
  Exchange& operator<<(std::int32_t value);
  Exchange& operator<<(double value);
  Exchange& operator<<(const char* text);  // with its NUL; null counts as ""

  // Taking from the receive buffer.
  Exchange& operator>>(std::int32_t& value);
  Exchange& operator>>(double& value);
  Exchange& operator>>(std::string& text);  // at most kMaxText characters kept
  template <std::size_t N>
  Exchange& operator>>(char (&text)[N]) {
    ReadText(text, N);
    return *this;
  }
  // Copies the next text into dst (dstSize bytes, NUL included; longer texts
  // are cut) and moves the read position past the text's NUL. A text without
  // its NUL ends at the end of the message and raises the overrun flag.
  void ReadText(char* dst, std::size_t dstSize);

  // Readies the link: the send position becomes 4 (room for a length prefix);
  // a sender sends the key block, a receiver awaits it.
  void Init(bool sender);
  // Tests the key block now in the receive buffer. Returns false when the key
  // is refused (the link is then marked broken).
  bool KeyTest();
  // Writes "Exchange Error: <text>" to standard error (no line end).
  static void throwError(const char* text);

  Buffer& SendBuffer() { return send_; }
  Buffer& RecvBuffer() { return recv_; }
  const Buffer& SendBuffer() const { return send_; }
  const Buffer& RecvBuffer() const { return recv_; }
  bool Swapped() const { return swap_; }
  bool KeyChecked() const { return keyChecked_; }
  // True once the link failed for good (peer closed, transport error, refused
  // key or bad frame): receives return false at once from then on.
  bool Broken() const { return broken_; }

 protected:
  Buffer send_;
  Buffer recv_;
  bool swap_ = false;
  bool keyChecked_ = false;
  bool broken_ = false;
};

// The link to the design environment; null when the program runs alone.
inline Exchange* exQuolb = nullptr;
