// The numbered console texts (outmsg) the output room writes.
#pragma once

#include <cstdint>

namespace wakro::output::message {
inline constexpr std::int32_t kInputFileMissing = 103;       // input file does not exist
inline constexpr std::int32_t kIncompatibleSnapshot = 107;   // snapshot of another version (counts a failed answer)
inline constexpr std::int32_t kLastChance = 108;             // the last attempt of an answer
inline constexpr std::int32_t kTitle = 215;                  // the case title
inline constexpr std::int32_t kTimeInMicroseconds = 216;     // time plotted in microseconds
inline constexpr std::int32_t kPlotFrame = 217;              // frame line of the screen plot
inline constexpr std::int32_t kPlotRow = 218;                // row of the screen plot at a time
inline constexpr std::int32_t kPercentComplete = 219;        // percentage of the run done
inline constexpr std::int32_t kPlotScale = 220;              // scale line of the screen plot
inline constexpr std::int32_t kOutputFile = 236;             // an output file name
inline constexpr std::int32_t kAskDataOrSnapshot = 301;      // data input or snapshot start?
inline constexpr std::int32_t kAskSnapshotKind = 302;        // which snapshots?
inline constexpr std::int32_t kAskFirstSnapshotTime = 303;   // time to the first snapshot?
inline constexpr std::int32_t kAskEndSnapshotFile = 304;     // file of the end-of-run snapshot?
inline constexpr std::int32_t kAskMapFile = 305;             // map file name?
inline constexpr std::int32_t kAskRelabelTime = 306;         // re-label the output time?
inline constexpr std::int32_t kAskOutputWanted = 307;        // output file wanted?
inline constexpr std::int32_t kAskOutputFile = 308;          // output file name?
inline constexpr std::int32_t kAskScreenPlot = 309;          // screen plot wanted?
inline constexpr std::int32_t kAskRunCount = 310;            // number of runs?
inline constexpr std::int32_t kAskSubstitutionCount = 311;   // number of substitution variables?
inline constexpr std::int32_t kAskSubstitutionValues = 312;  // the substitution variables, one at a time
inline constexpr std::int32_t kPlotLastRunOnly = 316;        // only the last of multiple runs plots
inline constexpr std::int32_t kAskSnapshotFile = 317;        // snapshot file to start from?
inline constexpr std::int32_t kAskFinishTime = 318;          // start time shown, new finish time?
}  // namespace wakro::output::message
