// The run settings before any answer of a start-up dialogue: one table.
//
// The module variables start with these values, both start-up dialogues reset
// them with apply_run_defaults() before their first question, and the tests'
// reset does the same. A new run setting is added here (a field, and a line in
// apply_run_defaults) and its module variable starts from the field.
#pragma once

#include <cstdint>

namespace wakro {

struct RunDefaults {
  const char* input = "DATA";           // assorc::input: start from data files
  const char* inam = "datafile";        // fnames::inam: the map file
  std::int32_t zerot = 0;               // ctrl::zerot
  double fintim = 0.5;                  // e_s1::fintim [s]
  std::int32_t jplt = 10;               // outppp::jplt
  std::int32_t outfil = 0;              // outppp::outfil
  const char* onam = "out";             // fnames::onam
  double pplot = 0.0;                   // outppp::pplot
  std::int32_t snpfil = 0;              // outppp::snpfil
  double tsnap = 1.0e6;                 // snpdat::tsnap: a time no run reaches
  double snpinc = 1.0e6;                // snpdat::snpinc
  std::int32_t newsnp = 0;              // snpdat::newsnp
  bool snap_at_run_end = false;         // snpdat::at_run_end
  bool snap_at_first_step = false;      // snpdat::at_first_step
  const char* snam = "snap.snp";        // fnames::snam
  const char* console_snam = "snap";    // fnames::snam as the console dialogue resets it
  const char* rtsnam = "runtime.snp";   // fnames::rtsnam
  bool multirun = false;                // ctrl::multirun
  std::int32_t mrunctrl = 0;            // ctrl::mrunctrl
  std::int32_t nrun = 1;                // ctrl::nrun
  const char* mnam = "mrun";            // fnames::mnam
  std::int32_t mruntype = 0;            // ctrl::mruntype
  std::int32_t not2trace = 0;           // ctrl::not2trace
  std::int32_t rank = 0;                // ctrl::rank
  std::int32_t pmr_count = 0;           // pmr_consolidate::pmr_count
};

inline constexpr RunDefaults kRunDefaults{};

// The largest run count of a run set, however it is asked for: the console's
// answer, the design environment's multiple-run command, the case's multiple-run
// component.
inline constexpr std::int32_t kMaxRuns = 10000;

// Writes every run setting of the table into its module variable.
void apply_run_defaults();

}  // namespace wakro
