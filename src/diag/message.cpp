// Model messages and warnings, on the console or as link message 14.
#include "diag/message.h"

#include <algorithm>
#include <charconv>

#include "diag/console.h"
#include "diag/listout.h"
#include "link/bindings.h"
#include "model/e_warn.h"
#include "model/quolbv3.h"

namespace {

constexpr std::size_t kMessageCut = 512;  // characters of a wakro_message line on the link
constexpr std::int32_t kLinkMessage = 14;

// A link message 14 whose last line has not been sent yet.
bool g_open = false;

void send_line(std::int32_t id1, std::int32_t id2, std::int32_t severity, std::int32_t part,
               std::string_view text) {
  const std::int32_t link = 0;
  const bool opens = part >= wakro::msg::kSingleLine;  // a single line or the first of several
  if (opens) {
    wakro::close_open_model_message();  // a message left open by its caller goes first
  }
  if (opens || !g_open) {
    // A middle or last line without its first line still gets a whole record.
    const std::int32_t head = opens ? part : wakro::msg::kSingleLine;
    for (std::int32_t v : {kLinkMessage, id1, id2, severity, head}) exputi(link, v);
    g_open = true;
  }
  exputs(link, text);
  if (part == wakro::msg::kSingleLine || part <= wakro::msg::kLastLine) {
    exsend(link);
    g_open = false;
  }
}

// The line as the free-format writer forms it, " <prefix><text>[ <id1> : <id2> ]"
// with the ids in 11 columns each. A line that fits kLineRoom is built on the
// stack and written at once, so that messages repeated every step allocate
// nothing; a longer one goes through the free-format writer.
constexpr std::size_t kLineRoom = 512;

void console_line(const char* prefix, std::int32_t id1, std::int32_t id2, std::int32_t part,
                  std::string_view text) {
  const bool ids = part >= wakro::msg::kSingleLine && id1 > 0;
  const std::string_view head(prefix);
  if (1 + head.size() + text.size() + (ids ? 29 : 0) + 1 > kLineRoom) {
    wakro::ListLine line;
    line << prefix << text;
    if (ids) line << "[" << id1 << ":" << id2 << "]";
    return;
  }
  char buf[kLineRoom];
  std::size_t n = 0;
  auto put = [&](std::string_view s) {
    s.copy(buf + n, s.size());
    n += s.size();
  };
  auto put_id = [&](std::int32_t v) {
    char digits[12];
    const auto len = static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, v).ptr - digits);
    put(" ");
    for (std::size_t k = len; k < 11; ++k) put(" ");
    put(std::string_view(digits, len));
  };
  put(" ");
  put(head);
  put(text);
  if (ids) {
    put("[");
    put_id(id1);
    put(" :");
    put_id(id2);
    put(" ]");
  }
  put("\n");
  wakro::console().write(buf, static_cast<std::streamsize>(n));
}

const char* prefix_of(std::int32_t severity) {
  if (severity == wakro::msg::kError) return "***ERROR** ";
  if (severity == wakro::msg::kWarning) return "***WARN*** ";
  return "***INFO*** ";
}

}  // namespace

namespace wakro {

void close_open_model_message() {
  if (!g_open) return;
  g_open = false;
  exsend(0);
}

}  // namespace wakro

void wakro_message(std::int32_t id1, std::int32_t id2, std::int32_t severity, std::int32_t part,
                   std::string_view text) {
  if (quolbv3::guisoc != 0) {
    send_line(id1, id2, severity, part, text.substr(0, std::min(text.size(), kMessageCut)));
    return;
  }
  console_line(prefix_of(severity), id1, id2, part, text);
}

void wakro_warn(std::int32_t id1, std::int32_t id2, std::int32_t part, std::string_view text) {
  if (quolbv3::guisoc != 0) {
    send_line(id1, id2, wakro::msg::kWarning, part, text);  // exputs keeps at most 515 characters
    return;
  }
  console_line("***WARN*** ", id1, id2, part, text);
}

void component_id(std::int32_t id1, std::int32_t id2) {
  if (id1 > 0 && id2 > 0) {
    e_warn::comp_id1 = id1;
    e_warn::comp_id2 = id2;
  }
}
