// Stand-ins for the start-up dialogue over the link, the command handler and
// the end-of-run message (see standins.h).
#include "app/standins.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <limits>
#include <string>
#include <string_view>

#include "app/stoprun.h"
#include "diag/catalog.h"
#include "diag/console.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "link/bindings.h"
#include "link/exchange.h"
#include "model/assorc.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/fnames.h"
#include "model/int2.h"
#include "model/ndde.h"
#include "model/outppp.h"
#include "model/radiolinks.h"
#include "model/snpdat.h"

namespace wakro {

namespace {

constexpr std::int32_t kLink = 0;
constexpr std::size_t kNameWidth = 34;

// The dialogue's defaults for a start from data files.
void dialogue_defaults() {
  assorc::input = "DATA";
  fnames::inam = "datafile";
  ctrl::zerot = 0;
  outppp::outfil = 0;
  fnames::onam = "out";
  outppp::snpfil = 0;
  snpdat::tsnap = 1.0e6;
  snpdat::snpinc = 1.0e6;
  snpdat::newsnp = 0;
  ctrl::multirun = false;
  ctrl::mrunctrl = 0;
  ctrl::nrun = 1;
}

// A name for a 34-character field; a longer one ends the run instead of being
// cut into the name of another file.
void take_name(wakro::FixedText<34>& field, std::string_view name, const char* tag) {
  if (name.size() > kNameWidth) {
    ListLine() << "File name longer than 34 characters:" << name;
    wakro_quit(tag, 0);
  }
  field = name;
}

void take_map_name(std::string_view name, const char* tag) {
  take_name(fnames::inam, name, tag);
  fnames::mapname = fnames::inam.view();
  fnames::inam1 = fnames::inam.view();
  assorc::input = "DATA";
  ctrl::zerot = 0;
}

}  // namespace

void standin_dialogv3() {
  dialogue_defaults();
  if (exQuolb == nullptr) return;
  for (;;) {
    if (!exrecv(kLink, true)) {
      if (!exQuolb->Broken()) continue;
      ListLine() << "The link closed during the start-up dialogue.";
      wakro_quit("DIALOGV3    ", 0);
    }
    std::int32_t command = 0;
    exgeti(kLink, command);
    std::string text;
    switch (command) {
      case 10:
        *exQuolb >> text;
        take_map_name(text, "DIALOGV3    ");
        break;
      case 12:
        outppp::outfil = 0;
        break;
      case 13:
        *exQuolb >> text;
        take_name(fnames::onam, text, "DIALOGV3    ");
        outppp::outfil = 1;
        break;
      case 16: {
        std::int32_t n = 0;
        exgeti(kLink, n);
        *exQuolb >> text;
        take_name(fnames::mnam, text, "DIALOGV3    ");
        if (n >= 2) {
          ctrl::multirun = true;
          ctrl::nrun = n;
        } else if (n <= 0) {
          ctrl::multirun = true;
          ctrl::mrunctrl = 1;
          ctrl::nrun = 2;
        }
        break;
      }
      case 19:
        if (assorc::input.view() == "DATA" && !std::ifstream(std::string(fnames::inam.trimmed())).is_open()) {
          console_err() << "Input file " << fnames::inam.trimmed() << " does not exist.\n";
          outxmsg(3, 3, fnames::inam);
        }
        return;
      default:
        break;
    }
  }
}

void standin_getmsgv3(std::int32_t& allowance, std::int32_t& answer) {
  answer = 0;
  if (exQuolb == nullptr) return;
  for (;;) {
    const bool wait = allowance < 1;
    if (!wait && !exQuolb->isDataWaiting()) return;
    if (!exQuolb->RecvMsg(wait)) {
      if (exQuolb->Broken()) {
        answer = 1;
        allowance = std::max(allowance, 2);
        return;
      }
      if (!wait) return;
      continue;
    }
    std::int32_t tag = 0;
    *exQuolb >> tag;
    if (exQuolb->RecvBuffer().overrun) {
      // A message too short to hold its tag would read as tag 0, a stop the
      // user never asked for: it is no command and is passed over.
      ListLine() << "Message without a tag passed over.";
      continue;
    }
    switch (tag) {
      case 0:
        answer = 1;
        allowance = std::max(allowance, 2);
        return;
      case 1: {
        std::int32_t n = 0;
        *exQuolb >> n;
        if (n >= 1) {
          allowance = static_cast<std::int32_t>(
              std::min<std::int64_t>(std::int64_t{allowance} + n, std::numeric_limits<std::int32_t>::max()));
        } else {
          close_open_model_message();
          exputi(kLink, 4);
          exputi(kLink, ctrl::iii);
          exputr(kLink, e_s1::time);
          exsend(kLink);
        }
        break;
      }
      case 22:
        answer = 2;
        return;
      case 29:
        if (ctrl::mruntype != 1) wakro_stoprun1(0);
        break;
      default:
        ListLine() << "Unimplemented message #" << tag;
        break;
    }
  }
}

void standin_send_endofrunmsgs() {
  close_open_model_message();
  exputi(kLink, 0);
  exputi(kLink, ctrl::lastrun ? 0 : 1);
  const std::int32_t n = radiolinks::tx.allocated()
                             ? std::clamp(ndde::e_ndim(dim::tx), 0, radiolinks::tx.extent(1))
                             : 0;
  exputi(kLink, n);
  for (std::int32_t k = 1; k <= n; ++k) exputr(kLink, radiolinks::tx(k));
  exsend(kLink);
}

}  // namespace wakro
