// The first-order poles of poles.h: one frame for the three, which differ only
// in how the state moves, where they start at time zero and whether they keep
// a lead coefficient.
#include "blocks/poles.h"

#include "blocks/conventions.h"
#include "blocks/pole_frame.h"

using wakro::blocks::flag_set;
using wakro::blocks::pole_frame::Kind;
using wakro::blocks::pole_frame::pole;

double realpole(std::int32_t reset, std::int32_t enable, std::int32_t limitFlag, double g, double t,
                double x, double resetValue, double lower, double upper) {
  return pole<Kind::kLag>(flag_set(reset), flag_set(enable), flag_set(limitFlag), 0.0, t, g, x,
                          resetValue, lower, upper);
}

double diffpole(std::int32_t reset, std::int32_t enable, std::int32_t limitFlag, double g, double t,
                double x, double resetValue, double lower, double upper) {
  return pole<Kind::kDifferential>(flag_set(reset), flag_set(enable), flag_set(limitFlag), 0.0, t,
                                   g, x, resetValue, lower, upper);
}

double ldlgpole(std::int32_t reset, std::int32_t enable, std::int32_t limitFlag, double t1, double t2,
                double g, double x, double resetValue, double lower, double upper) {
  return pole<Kind::kLeadLag>(flag_set(reset), flag_set(enable), flag_set(limitFlag), t1, t2, g, x,
                              resetValue, lower, upper);
}
