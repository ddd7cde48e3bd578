// Module pmr_consolidate: what the last rank of a parallel multiple run needs to
// merge the result files of all ranks.
#pragma once

#include <cstdint>

#include "model/farray.h"
#include "model/fixedtext.h"
#include "model/run_defaults.h"

namespace pmr_consolidate {

// One extra recording file of this process.
struct FileEntry {
  std::int32_t in_use = 0;         // 1: the entry is used
  wakro::FixedText<30> name;       // component name cut to 12 characters
  std::int32_t comp_id1 = -1;      // identity of the recording component, first part
  std::int32_t comp_id2 = -1;      // second part
  std::int32_t unit = -1;          // recording unit number
  std::int32_t nvalues = -1;       // number of values per row
};

inline std::int32_t pmr_count = wakro::kRunDefaults.pmr_count;                 // number of ranks
inline std::int32_t pmr_mrun = 0;                  // 1: a multiple-run output file exists
inline std::int32_t pmr_mrun_done = 0;             // 1: its merged statistics were written
inline wakro::FixedText<72> pmr_mrun_filename;     // base name of the multiple-run file
inline std::int32_t pmr_mrun_nv = 0;               // input columns
inline std::int32_t pmr_mrun_nm = 0;               // all columns (inputs and outputs)
inline std::int32_t pmr_mrun_ndiv = 0;             // probability-density divisions
inline std::int32_t excludelastrun = 0;            // 1: last run of every rank left out
inline std::int32_t lpmr_extra_files = 0;          // 1: at least one extra file exists
inline std::int32_t num_entries = 0;               // entries of file_list in use
inline wakro::FFixed<FileEntry, 100> file_list;    // registry of extra files, entries 1..100

}  // namespace pmr_consolidate
