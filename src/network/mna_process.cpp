// mna_process: the rows and columns of the MNA elements of subsystem ss in its
// working matrix W (rows and columns N+1 .. n, N = MBUS(ss), n = MBUS_MNA(ss),
// element e in row and column r = N + its position), and the fill pattern F of
// every stamped position. Element r's equation and its current I_r:
//   kind 0, 5  V(a) - V(b) - g I_r = rhs           (g = value 1; g = 0: ideal)
//   kind 1     V(c) - V(d) - g (V(a) - V(b)) - R I_r = 0
//   kind 2     g (V(a) - V(b)) - I_r = 0, I_r injected into c, drawn from d
//   kind 3     V(a) - V(b) = 0 with I_r through a-b, g I_r injected into c,
//              drawn from d
//   kind 4     V(c) - V(d) - g (V(a) - V(b)) - g^2 R I_r = 0, I_r through c-d,
//              g I_r injected into a, drawn from b
//   kind 9     kind 0 with g = 0 while its network branch is ideal, else I_r = 0
// A loop of zero-impedance branches (kinds 0 and 5) would make the system
// singular: mna_parall finds the branches that close such loops, and each of
// them is disabled (its equation becomes I_r = 0).
//
// Leaves: W and F, the zero-impedance flag of every element of ss.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "diag/message.h"
#include "diag/stacktext.h"
#include "model/branches.h"
#include "model/constants.h"
#include "model/e_s0.h"
#include "model/int2.h"
#include "model/mna.h"
#include "network/mna_routines.h"

namespace {

constexpr double kZeroImpedance = wakro::kTiny;

struct Stamper {
  e_s0::RealView w;
  e_s0::FillView f;
  // Adds v at (row, col) and marks it; a ground node has no row or column.
  void operator()(std::int32_t row, std::int32_t col, double v) const {
    if (row == 0 || col == 0) return;
    w(row, col) += v;
    f(row, col) = true;
  }
};

// Work lists of the parallel check (kept between calls so that a factorisation
// allocates nothing once they have grown to the element count).
struct ParallelWork {
  std::vector<std::array<std::int32_t, 2>> pairs;
  std::vector<std::int32_t> rows;
  std::vector<std::int32_t> result;
  std::vector<std::int32_t> reached;
};
ParallelWork& work() {
  static ParallelWork w;
  return w;
}

// The stamps of element el in row and column r.
void stamp(const mna::Mnad& el, mna::Mnad& rec, std::int32_t r, std::int32_t ss, const Stamper& s) {
  const std::int32_t a = el.a, b = el.b, c = el.c, d = el.d;
  const double g = el.value1;
  const double big_r = el.value2;
  s(r, r, 0.0);
  switch (el.kind) {
    case 0:
    case 5:
      s(a, r, 1.0), s(r, a, 1.0), s(b, r, -1.0), s(r, b, -1.0);
      if (std::abs(g) <= kZeroImpedance) {
        rec.zero_imp = 1;
      } else {
        s(r, r, -g);
      }
      break;
    case 1:
      s(a, r, 0.0), s(r, a, -g), s(b, r, 0.0), s(r, b, g);
      s(c, r, 1.0), s(r, c, 1.0), s(d, r, -1.0), s(r, d, -1.0);
      s(r, r, -big_r);
      break;
    case 2:
      s(a, r, 0.0), s(r, a, g), s(b, r, 0.0), s(r, b, -g);
      s(c, r, -1.0), s(r, c, 0.0), s(d, r, 1.0), s(r, d, 0.0);
      s(r, r, -1.0);
      break;
    case 3:
      s(a, r, 1.0), s(r, a, 1.0), s(b, r, -1.0), s(r, b, -1.0);
      s(c, r, -g), s(r, c, 0.0), s(d, r, g), s(r, d, 0.0);
      break;
    case 4:
      s(a, r, -g), s(r, a, -g), s(b, r, g), s(r, b, g);
      s(c, r, 1.0), s(r, c, 1.0), s(d, r, -1.0), s(r, d, -1.0);
      s(r, r, -g * g * big_r);
      break;
    case 9: {
      s(a, r, 0.0), s(r, a, 0.0), s(b, r, 0.0), s(r, b, 0.0);
      const std::int32_t k = el.dyn_branch;
      const bool known = k >= 1 && k <= int2::insb(ss);
      if (!known || !branches::idealbr(k, ss)) {
        s.w(r, r) = 1.0;
        break;
      }
      s(a, r, 1.0), s(r, a, 1.0), s(b, r, -1.0), s(r, b, -1.0);
      if (branches::geq(k, ss) < kZeroImpedance) rec.zero_imp = 1;
      break;
    }
    default:
      break;
  }
}

// Row and column r of W and F cleared over 1..n.
void clear_row_column(const Stamper& s, std::int32_t r, std::int32_t n) {
  for (std::int32_t j = 1; j <= n; ++j) {
    s.w(r, j) = 0.0;
    s.f(r, j) = false;
    s.w(j, r) = 0.0;
    s.f(j, r) = false;
  }
}

}  // namespace

void mna_process(std::int32_t ss) {
  using namespace mna;
  if (!mna_elem.allocated() || mna_elem(ss) <= 0) return;
  const std::int32_t nbus = e_s0::mbus(ss);
  const std::int32_t n = mbus_mna(ss);
  const Stamper s{e_s0::assign_rdc_ptr(ss), e_s0::assign_temfil_ptr(ss)};

  // Step 1: the element rows and columns start empty.
  for (std::int32_t r = nbus + 1; r <= n; ++r) clear_row_column(s, r, n);
  for (std::int32_t e = mna_start(ss); e <= mna_end(ss); ++e) mnad(e).zero_imp = 0;

  // Step 2: the stamps, element by element.
  ParallelWork& pw = work();
  pw.pairs.clear();
  pw.rows.clear();
  std::int32_t r = nbus;
  for (std::int32_t e = mna_start(ss); e <= mna_end(ss); ++e) {
    Mnad& el = mnad(e);
    stamp(el, el, ++r, ss, s);
    if ((el.kind == 0 || el.kind == 5) && el.zero_imp == 1) {
      pw.pairs.push_back({el.a, el.b});
      pw.rows.push_back(r);
    }
  }

  // Step 3: zero-impedance branches that close loops are disabled.
  if (pw.pairs.empty()) return;
  pw.result.resize(pw.pairs.size());
  mna_parall(pw.result, ss, pw.pairs);
  for (std::size_t k = 0; k < pw.pairs.size(); ++k) {
    if (pw.result[k] != -1) continue;
    clear_row_column(s, pw.rows[k], n);
    s.w(pw.rows[k], pw.rows[k]) = 1.0;
    s.f(pw.rows[k], pw.rows[k]) = true;
  }
}

void mna_parall(std::span<std::int32_t> result, std::int32_t ss,
                std::span<const std::array<std::int32_t, 2>> pairs) {
  const std::size_t count = std::min(result.size(), pairs.size());
  std::fill(result.begin(), result.end(), 0);
  std::vector<std::int32_t>& reached = work().reached;
  // One walk per connected group of pairs, each from the first pair not yet seen.
  for (std::size_t first = 0; first < count; ++first) {
    if (result[first] != 0) continue;
    reached.clear();
    reached.push_back(pairs[first][0]);
    for (std::size_t taken = 0; taken < reached.size() && taken < 2 * count; ++taken) {
      const std::int32_t x = reached[taken];
      for (std::size_t k = 0; k < count; ++k) {
        if (result[k] != 0) continue;
        std::int32_t other;
        if (pairs[k][0] == x) {
          other = pairs[k][1];
        } else if (pairs[k][1] == x) {
          other = pairs[k][0];
        } else {
          continue;
        }
        if (std::find(reached.begin(), reached.end(), other) != reached.end()) {
          // Reported at every factorisation: built on the stack.
          wakro::StackText<112> notice;
          wakro_message(0, 0, wakro::msg::kInfo, wakro::msg::kSingleLine,
                        notice << "parallel ideal branch between nodes  " << other << " ," << x
                               << " in subsystem " << ss << " disabled ");
          result[k] = -1;
        } else {
          reached.push_back(other);
          result[k] = 1;
        }
      }
    }
  }
}
