// wakro_quit: the context banner, the abort notice to the design environment,
// the release of the case-sized state and the fatal exit.
#include "diag/quit.h"

#include <string>

#include "diag/catalog.h"
#include "diag/console.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "link/bindings.h"
#include "link/process.h"
#include "model/e_s0.h"
#include "model/fatal.h"
#include "model/fnames.h"
#include "model/ndde.h"
#include "model/pf_display.h"
#include "model/quolbv3.h"

namespace {

constexpr std::string_view kRule = "=========================================================";
constexpr std::size_t kTagWidth = 12;
constexpr std::size_t kNameWidth = 34;

std::string& quit_note() {
  static std::string note;
  return note;
}

void write_banner(std::string_view tag, std::int32_t mode) {
  using wakro::ListLine;
  ListLine() << kRule;
  if (mode == 1 || mode == 2) {
    ListLine() << "Following is the last read data line:";
    ListLine() << fnames::dumlin.view();
  }
  // The names' first 34 bytes, never part of a letter.
  using Shown = wakro::FixedText<kNameWidth>;
  if (mode == 1 || mode == 3)
    ListLine() << "Data file name: " << Shown(wakro::name_prefix(fnames::filename.view(), kNameWidth)) << "...";
  if (mode == 2 || mode == 3)
    ListLine() << "Map/snap file name: " << Shown(wakro::name_prefix(fnames::tnam.view(), kNameWidth));
  std::string padded(tag);
  if (padded.size() < kTagWidth) padded.resize(kTagWidth, ' ');
  ListLine() << "ERROR: Abnormal termination of WAKRO by " << padded;
  if (!quit_note().empty()) ListLine() << quit_note();
  ListLine() << kRule;
  ListLine() << " ";
  wakro::console().flush();
}

}  // namespace

void wakro_quit(std::string_view tag, std::int32_t mode) {
  write_banner(tag, mode);
  if (quolbv3::guisoc != 0) {
    const std::int32_t link = 0;
    wakro_wait(1000);
    wakro::close_open_model_message();
    exputi(link, 10);
    exsend(link);
    for (std::int32_t v : {0, 0, 0}) exputi(link, v);
    exsend(link);
    outxmsg(2, 0, "RUN ABORTED");  // throws: status 2000
  }
  std::int32_t status = 0;
  ndde::deallocate_nd();
  pf_display::deallocate_pf();
  e_s0::deallocate_ss(status);
  throw wakro::FatalExit(wakro::kQuitStatus);
}

wakro::FixedText<72> getdum() { return fnames::dumlin; }

wakro::FixedText<72> getdum(std::int32_t /*unit*/) { return fnames::dumlin; }

namespace wakro {

void set_quit_note(std::string_view text) { quit_note().assign(text); }

std::string exit_line(std::string_view program, int status) {
  return std::string(program) + " exiting.  Status code = " + std::to_string(status) + "\n";
}

}  // namespace wakro
