// The interpolated logic gate, the flip-flops and the shift register
// (interpolated.h). Logic values are the inputs rounded (halves away from zero);
// a flip-flop keeps its state, clock and inputs as of the end of its last call,
// so that on a clock edge it acts on the inputs as they stood before the edge and
// a chain of flip-flops moves a pattern one stage per edge.
#include <algorithm>

#include "blocks/interpolated.h"
#include "blocks/slots.h"
#include "model/e_s1.h"

namespace {

using wakro::blocks::block_fatal;
using wakro::blocks::nint_sat;
using wakro::blocks::Slots;
using wakro::blocks::switch_on;
using wakro::blocks::take_rtci;
using wakro::blocks::take_stori;

constexpr std::int32_t kGateInputs = wakro::blocks::layout::xlgate::kInputs;  // inputs of the gate's argument array
constexpr std::int32_t kMaxStages = 32;   // stages of the shift register
constexpr std::int32_t kPatternBits = 31; // bits of the initial pattern that are read

enum GateType : std::int32_t { kAnd = 0, kOr = 1, kXor = 2 };
enum EdgeMode : std::int32_t { kFalling = 0, kRising = 1, kWhileHigh = 2 };
using wakro::blocks::layout::xflip::kClock;
using wakro::blocks::layout::xflip::kInputA;
using wakro::blocks::layout::xflip::kInputB;
using wakro::blocks::layout::xflip::kQ;
namespace xflip = wakro::blocks::layout::xflip;

// The flip-flop's arguments other than its signals.
struct FlipSettings {
  std::int32_t Q0;
  std::int32_t edgeMode;
  std::int32_t type;
  std::int32_t interp;
};

bool triggered(std::int32_t mode, std::int32_t clockBefore, std::int32_t clockNow) {
  switch (mode) {
    case kFalling: return clockBefore != 0 && clockNow == 0;
    case kRising: return clockBefore == 0 && clockNow != 0;
    case kWhileHigh: return clockNow != 0;
    default: return false;
  }
}

std::int32_t next_state(std::int32_t type, bool a, bool b, std::int32_t q) {
  if (!a && b) return 0;
  switch (type) {
    case 0: return a ? (b ? 1 - q : 1) : q;
    case 1: return a && !b ? 1 : q;
    case 2: return a && !b ? 1 : 0;
    case 3: return a ? (b ? 0 : 1 - q) : q;
    default: return q;
  }
}

// One flip-flop on its four slots.
void flip(const Slots<std::int32_t>& s, const FlipSettings& f, const XPair& A, const XPair& B, const XPair& C,
          XPair& OUT) {
  const std::int32_t c = nint_sat(C[0]), a = nint_sat(A[0]), b = nint_sat(B[0]);
  // Step 1: at time zero the slots start from the present signals.
  if (e_s1::timezero) {
    s(kQ) = f.Q0;
    s(kClock) = c;
    s(kInputA) = a;
    s(kInputB) = b;
  }
  const std::int32_t q = s(kQ);
  std::int32_t qNew = q;
  OUT = {static_cast<double>(q), 0.0};

  // Step 2: on a trigger, the inputs as they stood at the clock edge.
  if (triggered(f.edgeMode, s(kClock), c)) {
    std::int32_t aEdge = s(kInputA), bEdge = s(kInputB);
    const bool interp = switch_on(f.interp);
    if (interp && (a != aEdge || b != bEdge)) {
      const double tc = C[1], ta = A[1], tb = B[1];
      if (tc >= ta && tc >= tb) {
        // Both inputs changed after the edge: the stored ones stand.
      } else if (ta > tc && tc > tb && tb != 0.0) {
        aEdge = a;
      } else if (tb > tc && tc > ta && ta != 0.0) {
        bEdge = b;
      } else {
        aEdge = a;
        bEdge = b;
      }
    }
    qNew = next_state(f.type, aEdge != 0, bEdge != 0, q);
    OUT[0] = qNew;
    if (interp && qNew != q) OUT[1] = C[1];
  }

  // Step 3: state, clock and inputs as of this call.
  s(kQ) = qNew;
  s(kClock) = c;
  s(kInputA) = a;
  s(kInputB) = b;
}

}  // namespace

void wakro_xlgate(std::int32_t type, std::int32_t n, std::span<const double, 18> x, XPair& OUT) {
  using namespace wakro::blocks::layout::xlgate;
  if (n > kGateInputs) block_fatal("XLGATE", {"Number of inputs cannot be more than 9."});
  const Slots<std::int32_t> s = take_stori(kStoriSize);
  const std::int32_t old = s(kLastOut);
  OUT = {static_cast<double>(old), 0.0};
  if (n < 1) return;

  // Step 1: which inputs changed their rounded value.
  std::int32_t changed = 0;
  bool anyTrue = false, allTrue = true;
  for (std::int32_t i = 1; i <= n; ++i) {
    const std::int32_t v = nint_sat(x[i - 1]);
    if (v != s(kFirstInput - 1 + i)) ++changed;
    anyTrue = anyTrue || v != 0;
    allTrue = allTrue && v != 0;
  }
  if (changed == 0) return;

  // Step 2: the new output.
  std::int32_t out = old;
  if (type == kAnd) out = allTrue ? 1 : 0;
  if (type == kOr) out = anyTrue ? 1 : 0;
  if (type == kXor && changed % 2 == 1) out = 1 - old;

  // Step 3: the time of a change of output, over the changed inputs: the first
  // input to act (largest time) or the last one (smallest time, from delt).
  if (out != old) {
    const bool firstActs = (type == kAnd && out == 0) || (type == kOr && out == 1);
    double t = firstActs ? 0.0 : e_s1::delt;
    for (std::int32_t i = 1; i <= n; ++i) {
      if (nint_sat(x[i - 1]) == s(kFirstInput - 1 + i)) continue;
      const double ti = x[kGateInputs + i - 1];
      t = firstActs ? std::max(t, ti) : std::min(t, ti);
    }
    OUT[1] = t;
  }
  OUT[0] = out;

  // Step 4: store the output and the rounded inputs.
  s(kLastOut) = out;
  for (std::int32_t i = 1; i <= n; ++i) s(kFirstInput - 1 + i) = nint_sat(x[i - 1]);
}

void wakro_xflip(std::int32_t Q0, std::int32_t edgeMode, std::int32_t type, std::int32_t interp, const XPair& A,
                 const XPair& B, const XPair& C, XPair& OUT) {
  flip(take_stori(xflip::kStoriSize), FlipSettings{Q0, edgeMode, type, interp}, A, B, C, OUT);
}

void e_xflip1_cfg(std::int32_t edgeMode, std::int32_t type, std::int32_t interp, std::int32_t Q0) {
  using namespace wakro::blocks::layout::xflip1;
  const Slots<std::int32_t> c = take_rtci(kRtciSize);
  c(kEdgeMode) = edgeMode;
  c(kType) = type;
  c(kInterp) = interp;
  c(kQ0) = Q0;
}

void e_xflip1_exe(const XPair& A, const XPair& B, const XPair& C, XPair& OUT) {
  using namespace wakro::blocks::layout::xflip1;
  const Slots<std::int32_t> c = take_rtci(kRtciSize);
  flip(take_stori(xflip::kStoriSize), FlipSettings{c(kQ0), c(kEdgeMode), c(kType), c(kInterp)}, A, B, C, OUT);
}

void wakro_xshift(std::int32_t n, std::int32_t edgeMode, std::int32_t interp, std::int32_t pattern, const XPair& C,
                  const XPair& D, XPair& OUT) {
  if (n < 1 || n > kMaxStages) block_fatal("XSHIFT", {"Number of stages must be from 1 to 32."});
  const XPair rest{0.0, 0.0};
  const auto bits = static_cast<std::uint32_t>(pattern);
  XPair in = D;
  for (std::int32_t i = 1; i <= n; ++i) {
    const std::int32_t q0 = i - 1 < kPatternBits ? static_cast<std::int32_t>((bits >> (i - 1)) & 1u) : 0;
    flip(take_stori(xflip::kStoriSize), FlipSettings{q0, edgeMode, 2, interp}, in, rest, C, OUT);
    in = OUT;
  }
}
