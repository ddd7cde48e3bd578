// Registers the diagnostics' reporting routines with the ground floor.
#include "diag/hooks.h"

#include "diag/message.h"
#include "diag/quit.h"
#include "model/e_s0.h"

namespace wakro {

namespace {

// A subsystem matrix set that cannot be allocated: a two-line error with ids 0,
// then the fatal termination without input context.
[[noreturn]] void report_matrix_allocation_failure() {
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(2), e_s0::kAllocFailFirst);
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine, e_s0::kAllocFailLast);
  wakro_quit("ALLOCATION", 0);
}

}  // namespace

void install_diagnostic_hooks() {
  e_s0::allocation_failure_hook = &report_matrix_allocation_failure;
}

}  // namespace wakro
