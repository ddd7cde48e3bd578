// The line services the rest of the engine calls through its hooks.
//
//   sctline_init / sctline   dimension pass over one "TLINES:" or
//                            "GLOBAL_TLINES:" section (sizes only)
//   dslint                   reads a section into the line directory and the
//                            model tables, stamps each line into GM
//   dsldyn / dslout          per-step line histories into e_s0::ccli, then the
//                            terminal currents into e_s0::cdctl
//   check_line_records       the lines' records of a restored snapshot against
//                            the case (record_checks.cpp)
//   use_line_services        registers all of them with the readers, the
//                            network solution and the snapshot reader
#pragma once

#include <cstdint>

void sctline_init();
void sctline();
void dslint(std::int32_t& page, std::int32_t& ssoff, std::int32_t& send, std::int32_t& recv);
void dsldyn();
void dslout();
void non_eni_csc_signals();

namespace wakro {
struct RecordChecker;
namespace lines {
void check_line_records(const RecordChecker& c);
}
void use_line_services();
}  // namespace wakro
