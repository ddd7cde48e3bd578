// The merge of a parallel multiple run: after its last run, the process of
// the last rank merges the result files of all ranks 1..pmr_count into one
// file per kind, every run row led by the code of the rank that produced it.
//
// pmr_mrun_consolidate(): base_RRRR.out of every rank into base.out (base:
//   pmr_consolidate::pmr_mrun_filename up to its first blank or "."); the
//   heading line becomes "Rank#" + rank 1's heading, a row becomes rank code +
//   three blanks + the row.
// pmr_mrun_extrafiles_consolidate(unit, name): name_UU_RRRR.out of every rank
//   into base_UU.out; the heading becomes "Rank#  " + the heading, a row rank
//   code + the row.
// With pmr_consolidate::excludelastrun 1 both leave each rank's last run out,
// so that the merged statistics, which then read nrun - 1 rows per rank, see
// the rows of every rank.
// Only rank 1's title and heading are kept; a rank's file is read up to its
// first empty line or line beginning with "The" (the summary, the optimum
// notice and the repeated last run of an optimum search are not merged).
// Lines are cut to 360 characters and written without trailing blanks.
// A missing rank file is named in an error message and stops the run, and so
// does a rank count above 10999, whose rank codes would repeat, and a write of
// the merged file that the system refuses, which leaves it ending with the
// lines of the last rank written whole (result_file.h) (tag "PMR_MERGE   ").
#pragma once

#include <cstdint>

#include "model/fixedtext.h"

void pmr_mrun_consolidate();
void pmr_mrun_extrafiles_consolidate(std::int32_t unit, const wakro::FixedText<30>& name);
