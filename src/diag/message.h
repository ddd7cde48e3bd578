// Model messages: errors, warnings and information lines of component models and
// of the engine, tagged with the two ids of the component that issued them.
//
// Running alone each call writes one console line:
//   " ***ERROR** <text>[ <id1> : <id2> ]"   (ids only on a first or single line
//                                            and only when id1 > 0)
// with the prefix "***ERROR** " (severity 2), "***WARN*** " (1) or "***INFO*** "
// (any other). With the design environment connected (quolbv3::guisoc) the lines
// of one message are gathered into one link message 14, id1, id2, severity,
// part, text, text ... and sent with its last line.
//
// part: 1 a single-line message; n >= 2 the first line of an n-line message;
// 0 a middle line; -1 the last line. None of these routines stops the run.
#pragma once

#include <cstdint>
#include <string_view>

void wakro_message(std::int32_t id1, std::int32_t id2, std::int32_t severity, std::int32_t part,
                   std::string_view text);
// wakro_message with severity 1 (its text is not cut at 512 characters on the link).
void wakro_warn(std::int32_t id1, std::int32_t id2, std::int32_t part, std::string_view text);
// Records the ids of the component about to run (e_warn::comp_id1/comp_id2) when
// both are above 0; otherwise changes nothing.
void component_id(std::int32_t id1, std::int32_t id2);

namespace wakro::msg {
// The severities a model message is sent with (kInfo: an information line).
inline constexpr std::int32_t kError = 2, kWarning = 1, kInfo = 0;
// Its parts: a message of one line; the middle and the last line of a longer one
// (whose first line passes its number of lines, first_of(n)).
inline constexpr std::int32_t kSingleLine = 1, kMiddleLine = 0, kLastLine = -1;
constexpr std::int32_t first_of(std::int32_t lines) { return lines; }
}  // namespace wakro::msg

namespace wakro {
// Sends a model message whose last line has not come yet, so that no other link
// message is merged into it. Every diag routine that sends calls this first.
void close_open_model_message();
}  // namespace wakro
