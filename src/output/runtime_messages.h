// The engine's side of the run-time exchange with the design environment:
// watched values, progress, control values (sliders, switches, dials, push
// buttons), the plot step, radio-link values and the end-of-run message.
//
// Every routine sends only over the link to the design environment; the
// command reader that dispatches the incoming commands to these routines lives
// with the run (app/getmsgv3.h), because some commands stop the run.
//
// Watched values are named by address codes: bits 24-30 give the kind, bits
// 0-23 the index (kinds 1 to 8), or bits 0-15 the row and 16-23 the column
// (kinds 9 to 11). Every index is checked against the array it names before
// use: a value outside its array is sent as 0, in the width of its kind.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace monitorcode {

inline constexpr std::int32_t kCapacity = 65536;
inline std::int32_t n = 0;                              // watched codes
inline std::array<std::int32_t, kCapacity> x{};         // the codes, in the order of addition

}  // namespace monitorcode

namespace push_button {

inline constexpr std::int32_t kCapacity = 100;
inline std::int32_t count = 0;                          // presses pending this step
inline std::array<double, kCapacity> old{};             // control value before each press
inline std::array<std::int32_t, kCapacity> address{};   // control-storage address of each press

}  // namespace push_button

// Watched list: mode 0 sends message 1 with every watched value; mode 2 adds
// the code (answer 7), mode 3 removes its first occurrence (answer 8). A full
// list drops an addition silently; removing from an empty list sends nothing.
void monitor(std::int32_t mode, std::int32_t code);
// Appends `count` values of the code to the message being built.
void outcode(std::int32_t code, std::int32_t count);
// Message 1 on an output step.
void outqbv3();
// Clears the watched list (first run of the process).
void init_monitorcode();
// Reads a code and a count and answers [6, code, count, values].
void qbpeek();
// Step report: with flag 0 [4, step, time]; progress [3, percent] every 1 %.
void qbstep(std::int32_t flag);
// Sends [4, step, time].
void notnow(std::int32_t unused);

// Control values from the design environment. An address outside the control
// storage stops the run (model message, then termination).
void set_var(std::int32_t address);
void set_button(std::int32_t address);
// Writes the saved values of this step's presses back, last press first, so
// two presses of one button restore the value before the first.
void reset_button();
// Forgets the pending presses without writing values back.
void clear_button_list();

// Plot step in seconds: whole time steps, at least one; a change is answered
// with [20, plot step in microseconds].
void set_new_plotstep(double t);
// Radio-link values: (index, value) pairs ended by an index below 1.
void get_txarray();
// Message 0 at the end of each run.
void send_endofrunmsgs();

// Parameter values of graphic components, sent while the graphic trace is on
// (11 real, 12 integer, 13 real as "%.4g" text), each also written on the
// console ("QUOLB_AGR2 PARAM <name>", ...) and handed to the output record
// file. The forms without an instance send instance -1.
void quolb_agr2(std::int32_t instance, std::int32_t component, double value, std::string_view name);
void quolb_agi2(std::int32_t instance, std::int32_t component, std::int32_t value, std::string_view name);
void quolb_agrg2(std::int32_t instance, std::int32_t component, double value, std::string_view name);
void quolb_agr(std::int32_t component, double value, std::string_view name);
void quolb_agi(std::int32_t component, std::int32_t value, std::string_view name);
void quolb_agrg(std::int32_t component, double value, std::string_view name);

namespace wakro {
// Sends the message built on the link to the design environment. A message
// longer than the link carries (Exchange::kMaxMessage) is not sent (the link
// says "Exchange Error: Message too long." on standard error); it is said in
// the run's messages too, as the warning "Message too long for the link (at
// most <n> bytes), not sent: <what>." False when the message was not sent.
bool send_or_say(std::string_view what);
}  // namespace wakro
