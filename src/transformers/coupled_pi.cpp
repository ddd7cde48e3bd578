// Coupled PI records (see coupled_pi.h). Slot (2i - 1, j) holds the resistance
// and (2i, j) the inductive value of the conductor pair i <= j.
#include "transformers/coupled_pi.h"

#include <string_view>

#include "diag/listout.h"
#include "diag/quit.h"
#include "model/rt_config.h"
#include "transformers/settfparm.h"

namespace {

struct Pair {
  double r, l;
};

// Conductors 1 .. 3 form circuit 1, 4 .. 6 circuit 2.
void write(std::int32_t n, Pair self1, Pair mutual1, Pair self2, Pair mutual2, Pair cross) {
  for (std::int32_t j = 1; j <= n; ++j)
    for (std::int32_t i = 1; i <= j; ++i) {
      const bool first_i = i <= 3, first_j = j <= 3;
      Pair p = cross;
      if (first_i && first_j) p = i == j ? self1 : mutual1;
      if (!first_i && !first_j) p = i == j ? self2 : mutual2;
      rt_config::tfdata(2 * i - 1, j) = p.r;
      rt_config::tfdata(2 * i, j) = p.l;
    }
}

// The record holds R with Gamma (kind 1) or with L (kind 2): another kind, a
// UMEC core's included, is refused before anything else, whatever k is.
void check_kind(std::int32_t k, std::int32_t kind, std::string_view tag, std::int32_t windings) {
  if (kind != wakro::kTfInverseInductance && kind != wakro::kTfInductance) {
    wakro::ListLine() << "Coupled PI data kind" << kind << "is not 1 or 2";
    wakro_quit(tag, 0);
  }
  wakro::check_tf_handover(k, kind, tag, windings);
}

}  // namespace

void coupled_pi3_tf_cfg(std::int32_t k, std::int32_t kind, double rs, double ls, double rm, double lm) {
  const Pair none{0.0, 0.0};
  check_kind(k, kind, "COUPLED_PI3 ", 3);
  write(3, {rs, ls}, {rm, lm}, none, none, none);
  wakro_settfparm(k, kind, "COUPLED_PI3 ", 3);
}

void coupled_pi6_tf_cfg(std::int32_t k, std::int32_t kind, double rs1, double ls1, double rm1,
                        double lm1, double rs2, double ls2, double rm2, double lm2, double rx,
                        double lx) {
  check_kind(k, kind, "COUPLED_PI6 ", 6);
  write(6, {rs1, ls1}, {rm1, lm1}, {rs2, ls2}, {rm2, lm2}, {rx, lx});
  wakro_settfparm(k, kind, "COUPLED_PI6 ", 6);
}
