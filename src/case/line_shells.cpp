// The six line shells: one routine set, instantiated per name.
#include "case/line_shells.h"

#include "case/module_frame.h"

namespace {

using namespace wakro::casecode;

constexpr std::int32_t kShellRecord = 8;  // subsystem, count, two three-phase ends

// In line in each shell's routines, so that its counts fold into the frame.
[[gnu::always_inline]] inline void shell_dyn(const ModuleCounts& m) {
  (void)enter_dyn(m);
  open_data(m, "DATADSD:");
  close_data();
}

[[gnu::always_inline]] inline void shell_out(const ModuleCounts& m) {
  (void)enter_out(m);
  open_data(m, "DATADSO:");
  close_data();
}

void shell_begin(const ModuleCounts& m) { (void)enter_begin(m); }

constexpr ModuleCounts kT7_8{"T7_8", kShellRecord};
constexpr ModuleCounts kT8_9{"T8_9", kShellRecord};
constexpr ModuleCounts kT5_7{"T5_7", kShellRecord};
constexpr ModuleCounts kT6_9{"T6_9", kShellRecord};
constexpr ModuleCounts kT4_5{"T4_5", kShellRecord};
constexpr ModuleCounts kT4_6{"T4_6", kShellRecord};

}  // namespace

#define WAKRO_LINE_SHELL(lower, counts)            \
  void lower##dyn() { shell_dyn(counts); }         \
  void lower##out() { shell_out(counts); }         \
  void lower##dyn_begin() { shell_begin(counts); } \
  void lower##out_begin() { shell_begin(counts); }

WAKRO_LINE_SHELL(t7_8, kT7_8)
WAKRO_LINE_SHELL(t8_9, kT8_9)
WAKRO_LINE_SHELL(t5_7, kT5_7)
WAKRO_LINE_SHELL(t6_9, kT6_9)
WAKRO_LINE_SHELL(t4_5, kT4_5)
WAKRO_LINE_SHELL(t4_6, kT4_6)

#undef WAKRO_LINE_SHELL
