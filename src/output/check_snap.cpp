// check_snap: the snapshot header check (see check_snap.h).
#include "output/check_snap.h"

#include <cmath>

#include "diag/listout.h"
#include "diag/outmsg.h"
#include "diag/quit.h"
#include "files/linereader.h"
#include "files/listread.h"
#include "files/units.h"
#include "files/words.h"
#include "model/e_s1.h"
#include "model/fnames.h"
#include "model/outppp.h"
#include "model/snpdat.h"
#include "model/versin.h"
#include "output/messages.h"

namespace wakro {
namespace {

constexpr std::string_view kTag = "SNAP_OK     ";

void (*g_opener)() = nullptr;

void open_as_named() {
  fnames::filename = fnames::inam.view();
  wakro_openfile1(1);
}

[[noreturn]] void refuse_header(const Line72& word) {
  ListLine() << "ERROR: WAKRO: Incompatible snap-shot file";
  if (word == "******")
    ListLine() << "Seems like a Quolb V2 snap-shot file";
  else if (word[0] == '3')
    ListLine() << "Seems like a Quolb V3 snap-shot file";
  else if (word[0] == '4')
    ListLine() << "Seems like a Quolb V4 snap-shot file";
  wakro_quit(kTag, 1);
}

[[noreturn]] void refuse_values(const char* why) {
  ListLine() << why;
  wakro_closefile();
  wakro_quit(kTag, 1);
}

}  // namespace

void set_snapshot_opener(void (*opener)()) { g_opener = opener; }

}  // namespace wakro

void check_snap(std::int32_t& ok, double& snapshotTime) {
  using namespace wakro;
  // 1-2. Open the snapshot and find its value line.
  (g_opener != nullptr ? g_opener : &open_as_named)();
  rdcmnt();
  const Line72 word = wakro_firstwrd(fnames::dumlin);
  if (word[0] != '5') refuse_header(word);

  // 3. Version, time and time step, read again from the line rdcmnt stepped back over.
  double version = 0.0;
  const ReadStatus st = list_read_unit(fnames::iunit, {version, e_s1::time, e_s1::delt});
  if (st == ReadStatus::end) refuse_values("WAKRO: Unexpected End_Of_File");
  if (st == ReadStatus::error || !std::isfinite(e_s1::time) || !(e_s1::delt > 0.0) ||
      !std::isfinite(e_s1::delt))
    refuse_values("WAKRO: Error while reading snap file:");
  snapshotTime = e_s1::time;

  // 4. This engine's version only.
  if (std::fabs(version - versin::version) > 1e-6) {
    ok = 0;
    wakro_closefile();
    outmsg(output::message::kIncompatibleSnapshot, 0, 0, 0, 0.0, 0.0, fnames::inam.view());
    wakro_quit(kTag, 1);
  }
  ok = 1;
  if (outppp::snpfil != 0) snpdat::tsnap += snapshotTime;
  wakro_closefile();
}
