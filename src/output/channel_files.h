// The legacy channel files: ten output channels to a text file, with a
// description file beside them, and the step writer of the output record file.
//
// Channels of a run: N = outppp::jplt on the last run, else outppp::mplt;
// channel i is pgb(ipgbi(i)) on the last run, else pgb(mpgbi(i)). Files:
// F = (N - 1) / 10 + 1, at most 999.
//
// Names, from the output name fnames::onam (34 characters): the base is the
// name up to the first '.' or blank of its file-name part (the folder part is
// kept whole), or its first 33 characters when there is none; a multiple run
// that keeps channels on every run (nrun > 1, mplt > 0) appends "_r" and the run
// number in five digits (wider past 99999). Description file base.inf; channel
// file k base_01.out ... base_99.out, base_100.out ... base_999.out.
//
// wakro_outputfile(mode):
//   0  lists the channel file names ("        Output file: " + 34 characters)
//   1  opens the files: the description file is written (one line per channel,
//      cut after its last non-blank) and closed; each channel file gets the
//      72-character case title and stays open on the input-unit stack, file k
//      on unit fnames::iunitout + k. Opening twice ends the run with
//      "Multiple attempts to open output files"; a failed title or description
//      write with " **** PROBLEM WRITING TO OUTPUT FILE : <name> ! ****".
//   2  closes the channel files (a write that fails on the way out ends the run)
//   3  one output step: the time ((iii - iiisnp)·delt when ctrl::zerot, else
//      iii·delt) and ten channels per line of each file, each a 23-column
//      general field after one blank; the last file continues a record past ten
//      channels on following lines of at most ten values. Before anything, pgb
//      is clamped in place (|v| <= 1e-99 -> 0, beyond ±9.9999999999999e98 to that
//      limit, NaN left alone). A failed write ends the run with "Error occurred
//      while writing output file".
//   any other mode: the warning "OUTPUTFILE:Unknown output file mode!".
// Nothing happens when N is 0. A channel whose index points outside pgb is
// written as 0.0 (one warning when the files are opened). Every fatal stop uses
// the tag "OUTPUTFILE".
//
// wakro_outputfilebin(mode): on mode 3 only, clamps pgb(1..jplt) as above and
// hands channel i = 1..jplt on as ofadddatum(i, pgb(ipgbi(i)), time).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

void wakro_outputfile(std::int32_t mode);
void wakro_outputfilebin(std::int32_t mode);

namespace wakro {

// The file names of the current run (no suffix for k = 0: the description file).
std::string output_file_name(std::int32_t k);
// The description file and the channel files that run `run` of the set opens
// (none for a run that writes none), as the case's channels now give them.
std::vector<std::string> run_output_file_names(std::int32_t run);
// The base of the output names without a run's suffix.
std::string output_base_name();
// A simulation time as the messages of a failed output write give it
// (%.10g): the channel files' and the record file's.
std::string output_time_text(double t);
// Number of channel files open now.
std::int32_t open_channel_file_count();

}  // namespace wakro
