// The design environment's commands during a run (see getmsgv3.h).
#include "app/getmsgv3.h"

#include <algorithm>
#include <limits>

#include "app/seams.h"
#include "app/stoprun.h"
#include "diag/listout.h"
#include "lines/eni.h"
#include "link/bindings.h"
#include "link/exchange.h"
#include "link/stop_signal.h"
#include "model/ctrl.h"
#include "model/e_s4.h"
#include "model/snpdat.h"
#include "model/sock2.h"
#include "output/runtime_messages.h"

namespace {

constexpr std::int32_t kLink = 0;
constexpr std::int32_t kStop = 1;        // answer: stop the run
constexpr std::int32_t kEndAnswer = 2;   // answer: the end-of-run answer came
constexpr std::int32_t kMultipleRunMaster = 1;

enum Command : std::int32_t {
  kStopRun = 0, kGrant = 1, kWatch = 2, kUnwatch = 3, kSetVar = 4, kPlotStep = 5, kPeek = 6,
  kButton = 7, kLoadFlow = 8, kSnapshot = 15, kRadioLinks = 21, kEndOfRunAnswer = 22, kLastRun = 23, kEniPorts = 25,
  kPause = 28, kStopNow = 29, kUpdateGraphics = 31
};

std::int32_t geti() {
  std::int32_t v = 0;
  exgeti(kLink, v);
  return v;
}

void stop(std::int32_t& allowance, std::int32_t& answer) {
  answer = kStop;
  allowance = std::max(allowance, 2);
}

// Acts on one command; true when the reader returns.
bool act(std::int32_t tag, std::int32_t& allowance, std::int32_t& answer) {
  switch (tag) {
    case kStopRun:
      stop(allowance, answer);
      return true;
    case kGrant: {
      const std::int32_t n = geti();
      if (n >= 1)
        allowance = static_cast<std::int32_t>(
            std::min<std::int64_t>(std::int64_t{allowance} + n, std::numeric_limits<std::int32_t>::max()));
      else
        notnow(0);
      return false;
    }
    case kWatch: monitor(2, geti()); return false;
    case kUnwatch: monitor(3, geti()); return false;
    case kSetVar: set_var(geti()); return false;
    case kPlotStep: {
      double t = 0.0;
      exgetr(kLink, t);
      sock2::rtpr = t;
      set_new_plotstep(t);
      return false;
    }
    case kPeek: qbpeek(); return false;
    case kButton: set_button(geti()); return false;
    case kLoadFlow: wakro::seams().send_pfdata(); return false;
    case kSnapshot:
      // Served by a run that is not parallel (rank 0) and by the first process
      // of a parallel multiple run.
      if (ctrl::rank <= 1) {
        snpdat::rtsnap = 1;
        wakro::seams().writesnap();
        snpdat::rtsnap = 0;
      }
      return false;
    case kRadioLinks: get_txarray(); return false;
    case kEndOfRunAnswer:
      answer = kEndAnswer;
      return true;
    case kLastRun:
      ctrl::nrun = ctrl::mmm;
      ctrl::lastrun = true;
      return false;
    case kEniPorts: recveniports(); return false;
    case kPause:
      notnow(0);
      allowance = 0;
      return false;
    case kStopNow:
      if (ctrl::mruntype != kMultipleRunMaster) wakro_stoprun1(0);
      return false;
    case kUpdateGraphics: e_s4::update_ag = 1; return false;
    default:
      wakro::ListLine() << "Unimplemented message #" << tag;
      return false;
  }
}

}  // namespace

void getmsgv3(std::int32_t& allowance, std::int32_t& answer) {
  snpdat::rtsnap = 0;
  answer = 0;
  if (exQuolb == nullptr) return;
  // A stop signal ends the wait for steps: the run takes the two steps that a
  // stop lets it finish (the run loop sees the signal and makes the second
  // the last), and the wait for an answer ends with none. It ends the reading
  // also while commands keep arriving: a design environment that never pauses
  // does not hold the stop off (the commands read before it are acted on).
  const wakro::WaitsEndOnStop stop_ends_the_wait;
  for (;;) {
    if (wakro::g_received_stop_signal != 0) {
      allowance = std::max(allowance, 2);
      return;
    }
    const bool wait = allowance < 1;
    if (!wait && !exQuolb->isDataWaiting()) return;
    if (!exQuolb->RecvMsg(wait)) {
      if (exQuolb->Broken()) {
        stop(allowance, answer);
        return;
      }
      if (!wait) return;
      continue;  // a stop signal ended the wait: the loop ends on it
    }
    const std::int32_t tag = geti();
    if (exQuolb->RecvBuffer().overrun) {
      // A message too short to hold its tag would read as tag 0, a stop the
      // user never asked for: it is no command and is passed over.
      wakro::ListLine() << "Message without a tag passed over.";
      continue;
    }
    if (act(tag, allowance, answer)) return;
  }
}
