// Run-time messages to and from the design environment (see runtime_messages.h).
#include "output/runtime_messages.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "diag/convert.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "diag/outmsg.h"
#include "diag/quit.h"
#include "link/bindings.h"
#include "link/exchange.h"
#include "model/branches.h"
#include "model/ctrl.h"
#include "model/dim.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s4.h"
#include "model/ndde.h"
#include "model/quolbv3.h"
#include "model/radiolinks.h"
#include "model/snpdat.h"
#include "model/sock2.h"
#include "output/console_progress.h"
#include "output/record_bindings.h"

namespace {

constexpr std::int32_t kLink = 0;

// Message ids sent by this file.
constexpr std::int32_t kEndOfRun = 0;
constexpr std::int32_t kWatchedValues = 1;
constexpr std::int32_t kProgress = 3;
constexpr std::int32_t kStepReport = 4;
constexpr std::int32_t kPeekAnswer = 6;
constexpr std::int32_t kWatchAdded = 7;
constexpr std::int32_t kWatchRemoved = 8;
constexpr std::int32_t kControlSet = 9;
constexpr std::int32_t kPlotStep = 20;
constexpr std::int32_t kGraphicReal = 11;
constexpr std::int32_t kGraphicInteger = 12;
constexpr std::int32_t kGraphicText = 13;
constexpr std::int32_t kNoInstance = -1;

// Kinds of an address code.
enum Kind : std::int32_t {
  kTime = 0, kStoredLogical, kStoredInteger, kStoredReal, kStoredComplex, kStoredReal2,
  kChannel, kVariable, kConstant, kNodeVoltage, kBranchCurrent, kBranchCurrentReversed
};

bool linked() { return quolbv3::guisoc == 1; }

void begin_message(std::int32_t id) {
  wakro::close_open_model_message();
  exputi(kLink, id);
}

template <typename A>
bool inside(const A& a, std::int64_t i) {
  return a.allocated() && i >= 1 && i <= a.extent(1);
}
template <typename A>
bool inside(const A& a, std::int64_t i, std::int64_t j) {
  return a.allocated() && i >= 1 && i <= a.extent(1) && j >= 1 && j <= a.extent(2);
}

double simulation_time() {
  const double steps = ctrl::zerot != 0 ? static_cast<double>(ctrl::iii) - snpdat::iiisnp
                                        : static_cast<double>(ctrl::iii);
  return steps * e_s1::delt;
}

double real_at(const wakro::FArray<double, 1>& a, std::int64_t i) {
  return inside(a, i) ? a(static_cast<std::int32_t>(i)) : 0.0;
}

// Appends value i (from 0) of the code.
void put_value(std::int32_t kind, std::int64_t index, std::int64_t row, std::int64_t column) {
  switch (kind) {
    case kTime:
      exputr(kLink, simulation_time());
      return;
    case kStoredLogical:
      exputi(kLink, inside(quolbv3::stol, index) ? e_btoi(quolbv3::stol(static_cast<std::int32_t>(index))) : 0);
      return;
    case kStoredInteger:
      exputi(kLink, inside(quolbv3::stoi, index) ? quolbv3::stoi(static_cast<std::int32_t>(index)) : 0);
      return;
    case kStoredReal:
    case kStoredReal2:
      exputr(kLink, real_at(quolbv3::stof, index));
      return;
    case kStoredComplex: {
      const wakro::cplx c = inside(quolbv3::stoc, index) ? quolbv3::stoc(static_cast<std::int32_t>(index))
                                                         : wakro::cplx{};
      exputc(kLink, c.real(), c.imag());
      return;
    }
    case kChannel: exputr(kLink, real_at(e_s4::pgb, index)); return;
    case kVariable: exputr(kLink, real_at(e_s4::var, index)); return;
    case kConstant: exputr(kLink, real_at(e_s4::con, index)); return;
    case kNodeVoltage:
      exputr(kLink, inside(e_s0::vdc, row, column)
                        ? e_s0::vdc(static_cast<std::int32_t>(row), static_cast<std::int32_t>(column)) : 0.0);
      return;
    case kBranchCurrent:
    case kBranchCurrentReversed: {
      double v = inside(branches::cbr, row, column)
                     ? branches::cbr(static_cast<std::int32_t>(row), static_cast<std::int32_t>(column)) : 0.0;
      exputr(kLink, kind == kBranchCurrent ? v : -v);
      return;
    }
    default:
      // A kind this engine does not define: one value, 0.
      exputr(kLink, 0.0);
      return;
  }
}

// Next step at which progress is reported; kept from the first step of a run.
std::int32_t next_report = 0;

}  // namespace

void outcode(std::int32_t code, std::int32_t count) {
  const std::int32_t kind = extract(code, 24, 7);
  const std::int32_t index = extract(code, 0, 24);
  const std::int32_t row = extract(code, 0, 16);
  const std::int32_t column = extract(code, 16, 8);
  for (std::int64_t i = 0; i < count; ++i) put_value(kind, index + i, row + i, column + i);
}

void monitor(std::int32_t mode, std::int32_t code) {
  if (!linked()) return;
  if (mode == 0) {
    begin_message(kWatchedValues);
    for (std::int32_t k = 0; k < monitorcode::n; ++k) outcode(monitorcode::x[k], 1);
    exsend(kLink);
  } else if (mode == 2) {
    if (monitorcode::n >= monitorcode::kCapacity) return;
    monitorcode::x[monitorcode::n++] = code;
    begin_message(kWatchAdded);
    exputi(kLink, code);
    exsend(kLink);
  } else if (mode == 3) {
    if (monitorcode::n == 0) return;
    std::int32_t* begin = monitorcode::x.data();
    std::int32_t* end = begin + monitorcode::n;
    std::int32_t* at = std::find(begin, end, code);
    if (at != end) {
      std::copy(at + 1, end, at);
      --monitorcode::n;
      monitorcode::x[monitorcode::n] = 0;
    }
    begin_message(kWatchRemoved);
    exputi(kLink, code);
    exsend(kLink);
  }
}

void outqbv3() { monitor(0, 0); }

void init_monitorcode() {
  monitorcode::n = 0;
  monitorcode::x.fill(0);
}

void qbpeek() {
  std::int32_t code = 0;
  std::int32_t count = 0;
  exgeti(kLink, code);
  exgeti(kLink, count);
  if (!linked()) return;
  // The count only sizes the answer; a count beyond what a message can hold is
  // cut to the watched list's capacity.
  count = std::clamp(count, 0, monitorcode::kCapacity);
  begin_message(kPeekAnswer);
  exputi(kLink, code);
  exputi(kLink, count);
  outcode(code, count);
  exsend(kLink);
}

void notnow(std::int32_t /*unused*/) {
  if (!linked()) return;
  begin_message(kStepReport);
  exputi(kLink, ctrl::iii);
  exputr(kLink, e_s1::time);
  exsend(kLink);
}

void qbstep(std::int32_t flag) {
  if (!linked()) return;
  if (flag == 0) notnow(0);
  const double steps = static_cast<double>(wakro::steps_of_run());
  const std::int32_t onePercent = wakro::round_to_int(0.01 * steps);
  if (e_s1::firststep) next_report = onePercent + snpdat::iiisnp;
  if (e_s1::firststep || ctrl::iii >= next_report) {
    const double done = steps > 0.0 ? 100.0 * (static_cast<double>(ctrl::iii) - snpdat::iiisnp) / steps : 0.0;
    begin_message(kProgress);
    exputi(kLink, wakro::round_to_int(done));
    exsend(kLink);
    next_report += onePercent;
  }
}

void set_var(std::int32_t address) {
  if (address < 1 || address > ndde::nd16 || !inside(quolbv3::cx, address)) {
    wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine, "Invalid address of Slider/Switch/Dial");
    wakro_quit("SET_VAR     ", 0);
  }
  exgetr(kLink, quolbv3::cx(address));
  if (!linked()) return;
  begin_message(kControlSet);
  exputi(kLink, address);
  exsend(kLink);
}

void set_button(std::int32_t address) {
  if (address < 1 || address > ndde::nd16 || !inside(quolbv3::cx, address)) {
    wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine, "Invalid address of Push Button");
    wakro_quit("SET_BUTTON  ", 0);
  }
  double value = 0.0;
  exgetr(kLink, value);
  if (push_button::count >= push_button::kCapacity) return;
  push_button::address[push_button::count] = address;
  push_button::old[push_button::count] = quolbv3::cx(address);
  ++push_button::count;
  quolbv3::cx(address) = value;
}

void reset_button() {
  // Last press first: two presses of one button leave the value before both.
  for (std::int32_t k = push_button::count - 1; k >= 0; --k) {
    const std::int32_t address = push_button::address[k];
    if (inside(quolbv3::cx, address)) quolbv3::cx(address) = push_button::old[k];
  }
  push_button::count = 0;
}

void clear_button_list() { push_button::count = 0; }

void set_new_plotstep(double t) {
  if (!(e_s1::delt > 0.0)) return;
  const std::int32_t n = std::max(wakro::round_to_int(t / e_s1::delt), 1);
  if (n == wakro::round_to_int(e_s1::print / e_s1::delt)) return;
  e_s1::print = e_s1::delt * n;
  if (!linked()) return;
  begin_message(kPlotStep);
  exputr(kLink, e_s1::print * 1.0e6);
  exsend(kLink);
}

void get_txarray() {
  std::int32_t index = 0;
  exgeti(kLink, index);
  while (index >= 1) {
    if (index > ndde::nd37 || !inside(radiolinks::tx, index)) {
      wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine, "Invalid element of TX array");
      wakro_quit("GET_TXARRAY ", 0);
    }
    exgetr(kLink, radiolinks::tx(index));
    // A pair list cut short ends the read rather than replaying zeros.
    Exchange* link = exLink(kLink);
    if (link != nullptr && link->RecvBuffer().overrun) return;
    index = 0;
    exgeti(kLink, index);
  }
}

void send_endofrunmsgs() {
  if (!linked()) return;
  begin_message(kEndOfRun);
  exputi(kLink, ctrl::lastrun ? 0 : 1);
  const std::int32_t n = radiolinks::tx.allocated()
                             ? std::clamp(ndde::e_ndim(dim::tx), 0, radiolinks::tx.extent(1))
                             : 0;
  exputi(kLink, n);
  for (std::int32_t k = 1; k <= n; ++k) exputr(kLink, radiolinks::tx(k));
  if (wakro::send_or_say("the " + std::to_string(n) + " radio-link values of the end-of-run message (message 0)"))
    return;
  // The design environment waits for the end of the run: it still comes,
  // without the values.
  begin_message(kEndOfRun);
  exputi(kLink, ctrl::lastrun ? 0 : 1);
  exputi(kLink, 0);
  exsend(kLink);
}

bool wakro::send_or_say(std::string_view what) {
  Exchange* link = exLink(kLink);
  const bool refused = link != nullptr && link->SendBuffer().overrun;
  exsend(kLink);
  if (!refused) return true;
  wakro_message(0, 0, wakro::msg::kWarning, wakro::msg::kSingleLine,
                "Message too long for the link (at most " + std::to_string(Exchange::kMaxMessage) +
                    " bytes), not sent: " + std::string(what) + ".");
  return false;
}

namespace {

bool tracing() { return linked() && ctrl::not2trace == 0; }

void begin_graphic(std::int32_t id, std::int32_t instance, std::int32_t component) {
  begin_message(id);
  exputi(kLink, instance);
  exputi(kLink, component);
}

void end_graphic(const char* label, std::int32_t instance, std::int32_t component, double value,
                 std::string_view name) {
  exputs(kLink, name);
  exsend(kLink);
  wakro::ListLine() << label << name;
  ofgraphicdatum(instance, component, value, e_s1::time, name);
}

}  // namespace

void quolb_agr2(std::int32_t instance, std::int32_t component, double value, std::string_view name) {
  if (!tracing()) return;
  begin_graphic(kGraphicReal, instance, component);
  exputr(kLink, value);
  end_graphic("QUOLB_AGR2 PARAM ", instance, component, value, name);
}

void quolb_agi2(std::int32_t instance, std::int32_t component, std::int32_t value, std::string_view name) {
  if (!tracing()) return;
  begin_graphic(kGraphicInteger, instance, component);
  exputi(kLink, value);
  end_graphic("QUOLB_AGI2 PARAM ", instance, component, static_cast<double>(value), name);
}

void quolb_agrg2(std::int32_t instance, std::int32_t component, double value, std::string_view name) {
  if (!tracing()) return;
  begin_graphic(kGraphicText, instance, component);
  exputg(kLink, value);
  end_graphic("QUOLB_AGRG2 PARAM ", instance, component, value, name);
}

void quolb_agr(std::int32_t component, double value, std::string_view name) {
  quolb_agr2(kNoInstance, component, value, name);
}
void quolb_agi(std::int32_t component, std::int32_t value, std::string_view name) {
  quolb_agi2(kNoInstance, component, value, name);
}
void quolb_agrg(std::int32_t component, double value, std::string_view name) {
  quolb_agrg2(kNoInstance, component, value, name);
}
