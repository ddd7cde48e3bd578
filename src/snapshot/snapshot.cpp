// Snapshot writing, naming, reading and the map merge (see snapshot.h).
#include "snapshot/snapshot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <string_view>

#include "diag/console.h"
#include "diag/format.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "files/linereader.h"
#include "files/listread.h"
#include "files/units.h"
#include "files/words.h"
#include "input/dimensions.h"
#include "input/input_hooks.h"
#include "input/parameters.h"
#include "input/readdata.h"
#include "model/assorc.h"
#include "model/ctrl.h"
#include "model/dim.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_s4.h"
#include "model/e_s5.h"
#include "model/e_s7.h"
#include "model/e_warn.h"
#include "model/emtio.h"
#include "model/fnames.h"
#include "model/ideal.h"
#include "model/initialz.h"
#include "model/int2.h"
#include "model/int3.h"
#include "model/int4.h"
#include "model/mna.h"
#include "model/ndde.h"
#include "model/options.h"
#include "model/outppp.h"
#include "model/pf_display.h"
#include "model/quolbv3.h"
#include "model/radiolinks.h"
#include "model/rt_config.h"
#include "model/snpdat.h"
#include "model/storage.h"
#include "model/versin.h"
#include "network/mna_routines.h"
#include "network/ordered_elimination.h"
#include "network/solution.h"
#include "model/e_s8.h"
#include "model/temp1.h"
#include "output/check_snap.h"
#include "snapshot/archive.h"
#include "snapshot/layout.h"

namespace wakro::snapshot {
namespace {

std::string g_path;
// The node count the writing run's map file gave (the "available" column of
// the snapshot's NODES line); -1 when the line holds none.
std::int32_t g_nodes_of_map = -1;

void read_nodes_of_map(const std::string& path) {
  g_nodes_of_map = -1;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string key, eq;
    long used = 0, available = 0;
    if (!(words >> key) || key != "NODES") continue;
    if ((words >> eq) && eq == "=" && (words >> used >> available) && available >= 0 &&
        available <= std::numeric_limits<std::int32_t>::max())
      g_nodes_of_map = static_cast<std::int32_t>(available);
    return;
  }
}

constexpr std::string_view kRule = "!=======================================================";

[[noreturn]] void stop(std::string_view text, std::string_view tag, std::int32_t mode) {
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine, text);
  wakro_quit(tag, mode);
}

std::string yes_no(bool v) { return v ? "'YES'" : "'NO'"; }

std::string key_real(std::string_view key, double v) {
  std::string s(19 - std::min<std::size_t>(key.size(), 19), ' ');
  return s + std::string(key) + gedit(v, 24, 16, 3);
}

std::string key_int(std::string_view key, std::int32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%12d", static_cast<int>(v));
  return std::string(19 - std::min<std::size_t>(key.size(), 19), ' ') + std::string(key) + buf;
}

std::string key_text(std::string_view key, std::string_view quoted) {
  return " " + std::string(key) + std::string(quoted);
}

// The title cut to n characters, trailing blanks dropped, quotes doubled.
std::string quoted_title(std::size_t n) {
  std::string_view t = assorc::title.view().substr(0, n);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  std::string s = "'";
  for (char c : t) {
    s += c;
    if (c == '\'') s += '\'';
  }
  return s + "'";
}

void write_parameters(SnapOut& o) {
  o.line("");
  o.free("PARAMETERS:");
  o.line(key_text(" TITLE          = ", quoted_title(50)));
  o.line(key_real(" VERSION        = ", versin::version));
  o.line(key_real(" TIME_STEP      = ", e_s1::delt));
  o.line(key_real(" PRINT_STEP     = ", e_s1::print));
  o.line(key_real(" SNAP_TIME      = ", e_s1::time));
  o.line(key_int(" SNAP_IIISNP    = ", ctrl::iii - (snpdat::rtsnap != 0 ? 1 : 0)));
  o.line(key_real(" SCREEN_PMAX    = ", outppp::pmax));
  o.line(key_real(" SCREEN_PMIN    = ", outppp::pmin));
  if (int2::nmat > 0) {
    o.line(key_real(" CHATTER_LEVEL  = ", int2::glvl(1)));
    const double g = ideal::gonmax(1);
    o.line(key_real(" SHORT_CIRCUIT  = ", g > 1e-10 ? 1.0 / g : 1.0e-5));
    o.line(key_text(" SOLUTION       = ", options::rootmatch(1) != 0 ? "'ROOTMATCHING_1'" : "'TRAPEZOIDAL'"));
    o.line(key_text(" DETECT_CHATTER = ", yes_no(options::dtchatter(1))));
    o.line(key_text(" REMOVE_CHATTER = ", yes_no(options::rmchatter(1))));
    o.line(key_text(" INTERPOLATE    = ", yes_no(options::interpss(1))));
    o.line(key_text(" EXTRAPOLATE    = ", yes_no(options::xterpsrc(1))));
  }
  o.line(key_text(" USE_SUBSYSDIM  = ", yes_no(ndde::use_subsysdim)));
  o.line(key_text(" USE_MANA       = ", yes_no(mna::enable_mna)));
  o.line(key_int(" SPARSE_LIMIT   = ", int3::sparse_limit));
  o.free("END:");
  o.line("");
}

void write_subsysdim(SnapOut& o) {
  o.line("");
  o.free("SUBSYSDIM:");
  o.group(Layout::I15, ndde::nd2 + 1,
          [](std::int64_t k) { return k == 1 ? ndde::nd2 : e_s0::ssdim(k - 1); });
  o.line("");
}

// The stores in file order: label, dimension entry, and the store's writer and
// reader.
struct Store {
  const char* label;
  int dim;
  Layout layout;
  void* array;
  enum Kind { L, I, F, C } kind;
};

std::vector<Store> stores() {
  return {{"!STOL:", dim::stol, Layout::L80, &quolbv3::stol, Store::L},
          {"!STOI:", dim::stoi, Layout::I15, &quolbv3::stoi, Store::I},
          {"!STOF:", dim::stof, Layout::R8, &quolbv3::stof, Store::F},
          {"!STOC:", dim::stoc, Layout::C1, &quolbv3::stoc, Store::C},
          {"!DSX:", dim::pf_init, Layout::R8, &quolbv3::dsx, Store::F},
          {"!STOR:", dim::stor, Layout::R8, &e_s2::stor, Store::F},
          {"!STORL:", dim::storl, Layout::L80, &storage::storl, Store::L},
          {"!STORI:", dim::stori, Layout::I15, &storage::stori, Store::I},
          {"!STORF:", dim::storf, Layout::R8, &storage::storf, Store::F},
          {"!STORC:", dim::storc, Layout::C1, &storage::storc, Store::C},
          {"!RTCL:", dim::rtcl, Layout::L80, &rt_config::rtcl, Store::L},
          {"!RTCI:", dim::rtci, Layout::I15, &rt_config::rtci, Store::I},
          {"!RTCF:", dim::rtcf, Layout::R8, &rt_config::rtcf, Store::F},
          {"!RTCC:", dim::rtcc, Layout::C1, &rt_config::rtcc, Store::C},
          {"!STXFRL:", dim::stxfrl, Layout::L80, &storage::stxfrl, Store::L},
          {"!STXFRI:", dim::stxfri, Layout::I15, &storage::stxfri, Store::I},
          {"!STXFRF:", dim::stxfrf, Layout::R8, &storage::stxfrf, Store::F},
          {"!STXFRC:", dim::stxfrc, Layout::C1, &storage::stxfrc, Store::C},
          {"!PGB:", dim::pgbs, Layout::R8, &e_s4::pgb, Store::F}};
}

// Element k of a store, or a scratch value past its end (a store allocated
// smaller than its dimension reads back nothing into memory it does not own).
template <class T, class Arr>
T& element(void* a, std::int64_t k, T& scratch) {
  Arr& arr = *static_cast<Arr*>(a);
  if (arr.allocated() && k <= arr.size()) return arr.data()[k - 1];
  scratch = T{};
  return scratch;
}

template <class F>
void for_store(const Store& s, F f) {
  switch (s.kind) {
    case Store::L: {
      bool x{};
      f([&](std::int64_t k) -> bool& {
        if (s.array == &storage::storl) return element<bool, decltype(storage::storl)>(s.array, k, x);
        if (s.array == &rt_config::rtcl) return element<bool, decltype(rt_config::rtcl)>(s.array, k, x);
        if (s.array == &storage::stxfrl) return element<bool, decltype(storage::stxfrl)>(s.array, k, x);
        return element<bool, decltype(quolbv3::stol)>(s.array, k, x);
      });
      break;
    }
    case Store::I: {
      std::int32_t x{};
      f([&](std::int64_t k) -> std::int32_t& {
        if (s.array == &storage::stori) return element<std::int32_t, decltype(storage::stori)>(s.array, k, x);
        if (s.array == &rt_config::rtci) return element<std::int32_t, decltype(rt_config::rtci)>(s.array, k, x);
        if (s.array == &storage::stxfri) return element<std::int32_t, decltype(storage::stxfri)>(s.array, k, x);
        return element<std::int32_t, decltype(quolbv3::stoi)>(s.array, k, x);
      });
      break;
    }
    case Store::F: {
      double x{};
      f([&](std::int64_t k) -> double& {
        if (s.array == &storage::storf) return element<double, decltype(storage::storf)>(s.array, k, x);
        if (s.array == &rt_config::rtcf) return element<double, decltype(rt_config::rtcf)>(s.array, k, x);
        if (s.array == &storage::stxfrf) return element<double, decltype(storage::stxfrf)>(s.array, k, x);
        if (s.array == &e_s2::stor) return element<double, decltype(e_s2::stor)>(s.array, k, x);
        if (s.array == &e_s4::pgb) return element<double, decltype(e_s4::pgb)>(s.array, k, x);
        if (s.array == &quolbv3::dsx) return element<double, decltype(quolbv3::dsx)>(s.array, k, x);
        return element<double, decltype(quolbv3::stof)>(s.array, k, x);
      });
      break;
    }
    case Store::C: {
      std::complex<double> x{};
      f([&](std::int64_t k) -> std::complex<double>& {
        if (s.array == &storage::storc)
          return element<std::complex<double>, decltype(storage::storc)>(s.array, k, x);
        if (s.array == &rt_config::rtcc)
          return element<std::complex<double>, decltype(rt_config::rtcc)>(s.array, k, x);
        if (s.array == &storage::stxfrc)
          return element<std::complex<double>, decltype(storage::stxfrc)>(s.array, k, x);
        return element<std::complex<double>, decltype(quolbv3::stoc)>(s.array, k, x);
      });
      break;
    }
  }
}

// Every store pointer at its store's full dimension, as the writer and the
// reader both leave them (the pointers are set again before the next step).
void pointers_at_dimensions() {
  using ndde::e_ndim;
  quolbv3::nstol = e_ndim(dim::stol);
  quolbv3::nstoi = e_ndim(dim::stoi);
  quolbv3::nstof = e_ndim(dim::stof);
  quolbv3::nstoc = e_ndim(dim::stoc);
  storage::nstorl = e_ndim(dim::storl);
  storage::nstori = e_ndim(dim::stori);
  storage::nstorf = e_ndim(dim::storf);
  storage::nstorc = e_ndim(dim::storc);
  e_s2::nexc = e_ndim(dim::stor);
  rt_config::nrtcl = e_ndim(dim::rtcl);
  rt_config::nrtci = e_ndim(dim::rtci);
  rt_config::nrtcf = e_ndim(dim::rtcf);
  rt_config::nrtcc = e_ndim(dim::rtcc);
  storage::nstxfrl = e_ndim(dim::stxfrl);
  storage::nstxfri = e_ndim(dim::stxfri);
  storage::nstxfrf = e_ndim(dim::stxfrf);
  storage::nstxfrc = e_ndim(dim::stxfrc);
}

void write_stores(SnapOut& o) {
  pointers_at_dimensions();
  o.line("");
  for (const Store& s : stores()) {
    const std::int32_t n = ndde::e_ndim(s.dim);
    if (n <= 0) continue;
    char count[16];
    std::snprintf(count, sizeof count, " %11d", static_cast<int>(n));
    o.free(std::string(s.label) + count);
    for_store(s, [&](auto at) {
      using T = std::remove_reference_t<decltype(at(1))>;
      o.begin_group();
      for (std::int64_t k = 1; k <= n; ++k) {
        T& v = at(k);
        // Reals take the value the file holds (see the state blocks).
        if constexpr (std::is_same_v<T, double> || std::is_same_v<T, std::complex<double>>)
          v = o.put(s.layout, v);
        else
          o.value(s.layout, v);
      }
      o.end_group();
    });
  }
  o.line("");
}

void write_map(SnapOut& o) {
  using ndde::e_ndim;
  quolbv3::nnode = e_ndim(dim::nnodes);
  quolbv3::nsubs = e_ndim(dim::subsyspage);
  quolbv3::ncx = e_ndim(dim::cx);
  o.free("! MAP ");
  o.group(Layout::I15, e_ndim(dim::nnodes), [](std::int64_t k) { return quolbv3::node(k); });
  o.group(Layout::I15, e_ndim(dim::subsyspage), [](std::int64_t k) { return quolbv3::subs(k); });
  o.group(Layout::R8, e_ndim(dim::tx), [](std::int64_t k) { return radiolinks::tx(k); });
  o.group(Layout::I15, e_ndim(dim::txrx), [](std::int64_t k) { return radiolinks::txrx(k); });
  o.group(Layout::R8, e_ndim(dim::cx), [](std::int64_t k) { return quolbv3::cx(k); });
  o.group(Layout::I15, e_ndim(dim::cxmap), [](std::int64_t k) { return quolbv3::cxmap(k); });
  o.free("! MPGBS: " + std::to_string(outppp::mplt));
  o.group(Layout::I15, outppp::mplt + 1, [](std::int64_t k) { return k == 1 ? outppp::mplt : outppp::mpgbi(k - 1); });
  o.free("! IPGBS: " + std::to_string(outppp::iplt));
  o.group(Layout::I15, outppp::iplt + 1, [](std::int64_t k) { return k == 1 ? outppp::iplt : outppp::ipgbi(k - 1); });
  o.free("! PGBNAME: " + std::to_string(outppp::jplt));
  for (std::int32_t k = 1; k <= outppp::jplt; ++k) o.line(outppp::pgbname(k).trimmed());
  if (!mna::enable_mna) return;
  o.free("! MNA: ");
  o.line(" " + std::to_string(ndde::nd75) + " " + std::to_string(ndde::nd74));
  for (auto* a : {&mna::mna_elem, &mna::mbus_mna, &mna::mna_start, &mna::mna_end})
    o.group(Layout::I15, ndde::nd2, [&](std::int64_t k) { return (*a)(k); });
  o.free_int(mna::no_mna);
  o.free_int(e_ndim(dim::nmana));
  for (std::int32_t k = 1; k <= mna::no_mna; ++k) {
    mna::Mnad& r = mna::mnad(k);
    o.free_int(r.kind);
    o.free_int(r.subsystem);
    o.group(Layout::I15, 10, [&](std::int64_t j) {
      const std::int32_t head[4] = {r.a, r.b, r.c, r.d};
      return j <= 4 ? head[j - 1] : r.more_pairs(static_cast<int>((j - 5) % 2 + 1), static_cast<int>((j - 5) / 2 + 1));
    });
    const double reals[5] = {r.param, r.value1, r.value2, r.current1, r.current2};
    o.group(Layout::R8, 5, [&](std::int64_t j) { return reals[j - 1]; });
    const std::int32_t ints[5] = {r.zero_imp, r.branch_i1, r.branch_i2, r.dyn_branch, r.dyn_i2};
    o.group(Layout::I15, 5, [&](std::int64_t j) { return ints[j - 1]; });
  }
  for (std::int32_t k = 1; k <= e_ndim(dim::nmana); ++k) o.free_int(mna::mnads(k).element);
}

[[noreturn]] void read_fail(bool end, std::string_view err, std::string_view tag) {
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine, end ? "Unexpected End_Of_File" : err);
  wakro_quit(tag, 1);
}
void fail_snap(bool end) {
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine,
                end ? "WAKRO: Unexpected end of file while reading snapfile" : "WAKRO: Error while reading snap file");
  wakro_quit("READSNP", 1);
}
void fail_stors(bool end) {
  read_fail(end, "Error while reading data from line:", "READSTORS"); }
void fail_map(bool end) { read_fail(end, "Error while reading map info from line:", "READMAP"); }
void fail_update(bool end) { read_fail(end, "Error while reading data from line:", "UPDATE_MAP"); }

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

void check_count(std::string_view what, std::int64_t v, std::int64_t limit, std::string_view tag) {
  if (v >= 0 && v <= limit) return;
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine,
                "WAKRO: Snapshot count out of range: " + std::string(what) + " = " + std::to_string(v) + " (at most " +
                    std::to_string(limit) + ")");
  wakro_quit(tag, 1);
}

// Reads a label line "<label> <count>" exactly (the label may not be skipped as
// a comment, since it carries the count); blank lines before it are skipped.
std::int32_t counted_label(SnapIn& in, std::string_view label, SnapIn::Fail fail) {
  for (;;) {
    const std::string line = in.raw_line();
    const std::string_view s = trim(line);
    if (s.empty()) continue;
    if (s.substr(0, label.size()) != label) fail(false);
    double v = 0.0;
    const std::string_view rest = trim(s.substr(label.size()));
    if (!parse_real(rest, v) || v != std::floor(v)) fail(false);
    return static_cast<std::int32_t>(v);
  }
}

}  // namespace

const std::string& snapshot_path() { return g_path; }

std::string parameters_text() {
  SnapOut o;
  write_parameters(o);
  return o.text();
}

}  // namespace wakro::snapshot

using namespace wakro::snapshot;
using wakro::ListLine;

// ---------------------------------------------------------------- names

void wakro_snapfile(std::int32_t mode) {
  e_warn::comp_id1 = 0;
  e_warn::comp_id2 = 0;
  const bool rt = snpdat::rtsnap != 0;
  const wakro::FixedText<34>& src = mode == 1 ? fnames::inam : (rt ? fnames::rtsnam : fnames::snam);
  if (mode == 0 && snpdat::icntsp == 0 && snpdat::icntsprt == 0) return;
  std::string name(src.view());
  auto open_read = [&](const std::string& n) {
    g_path = std::string(trim(n));
    fnames::filename = g_path;
    wakro::open_file_named(g_path, 1);
  };
  if (mode == 1) {
    const std::string_view v(name);
    if (v.substr(0, 11) == "input_snap ") return open_read(name);
    if (v.substr(0, 11) == "input_snap(" &&
        ((v.size() >= 15 && v.substr(12, 3) == ")  ") || (v.size() >= 16 && v.substr(13, 3) == ")  ")))
      return open_read(name);
  }
  std::size_t p = 28;
  for (std::size_t i = 0; i < 28 && i < name.size(); ++i)
    if (name[i] == ' ' || name[i] == '.') {
      p = i;
      break;
    }
  auto overwrite = [&](std::string& s, std::size_t at, std::string_view with) {
    if (s.size() < at + with.size()) s.resize(at + with.size(), ' ');
    s.replace(at, with.size(), with);
  };
  const bool incremental = mode != 1 && snpdat::newsnp != 0;
  if (!incremental) {
    overwrite(name, p, ".snp");
    if (mode == 3) (rt ? snpdat::icntsprt : snpdat::icntsp) += 1;
  } else {
    snpdat::nmaxsnp = 10;
    auto numbered = [&](std::int32_t nn) {
      std::string s = name;
      char buf[16];
      std::snprintf(buf, sizeof buf, "_%02d.snp", static_cast<int>(nn));
      overwrite(s, p, buf);
      return s;
    };
    if (mode == 3) {
      if (snpdat::icntsp > 0 && snpdat::icntsp % 10 == 0) {
        ListLine() << "Maximum # of incremental snapshot files reached.";
        ListLine() << "Snapshot file names will be recycled.";
      }
      std::int32_t& c = rt ? snpdat::icntsprt : snpdat::icntsp;
      name = numbered(c % 10 + 1);
      ++c;
    } else {
      // Mode 0: the files still on disk, oldest first.
      std::int32_t k = snpdat::icntsp > 10 ? snpdat::icntsp % 10 : 0;
      const std::int32_t n = std::min(10, snpdat::icntsp);
      for (std::int32_t i = 0; i < n; ++i) {
        k = k % 10 + 1;
        ListLine() << "";
        ListLine() << "           Snapshot: " + std::string(trim(numbered(k))).substr(0, 20);
      }
      if (snpdat::icntsprt >= 1) {
        ListLine() << "";
        ListLine() << " Manual snapshot(s): Taken";
      }
      return;
    }
  }
  if (mode == 0) {
    if (snpdat::icntsp > 0) {
      ListLine() << "";
      ListLine() << "           Snapshot: " + std::string(trim(name)).substr(0, 20);
    }
    if (snpdat::icntsprt >= 1) {
      ListLine() << "";
      ListLine() << "    Manual snapshot: " + std::string(fnames::rtsnam.trimmed()).substr(0, 20);
    }
    return;
  }
  if (mode == 1) return open_read(name);
  g_path = std::string(trim(name));
  fnames::filename = g_path;
}

// ---------------------------------------------------------------- writing

namespace {

// The snapshot being written: the section writers write into it when they are
// given its unit (fnames::iunit while wakro_writesnap runs), and to the
// console for the console unit emtio::iout.
SnapOut* g_snapshot = nullptr;
std::int32_t g_snapshot_unit = -1;

// Runs write on the text of the unit's target; false when the unit is neither.
template <class F>
bool write_to(std::int32_t unit, std::string_view failure, std::string_view tag, F write) {
  if (g_snapshot != nullptr && unit == g_snapshot_unit) {
    write(*g_snapshot);
    return true;
  }
  if (unit != emtio::iout) return false;
  SnapOut o;
  write(o);
  wakro::console() << o.text();
  if (!wakro::console()) stop(failure, tag, 0);
  return true;
}

}  // namespace

void wakro_writeline(std::int32_t& unit) {
  if (!write_to(unit, "", "WRITELINE", [](SnapOut& o) { o.line(kRule); }))
    ListLine() << "Error occurred while writing to UNIT=" << unit;
}

void wakro_writeparm(std::int32_t& unit) {
  if (!write_to(unit, "Error occurred while writing parameters to file", "WRITEPARM", &write_parameters))
    stop("Error occurred while writing parameters to file", "WRITEPARM", 0);
}

void wakro_writesubsysdim(std::int32_t& unit) {
  if (!write_to(unit, "Error occurred while writing subsystem parameters to file", "WRITESSYSDIM", &write_subsysdim))
    stop("Error occurred while writing subsystem parameters to file", "WRITESSYSDIM", 0);
}

void wakro_writestors() {
  if (!write_to(fnames::iunit, "Error occurred while writing STORs to file", "WRITESTORS", &write_stores))
    stop("Error occurred while writing STORs to file", "WRITESTORS", 0);
}

void wakro_writemap() {
  if (!write_to(fnames::iunit, "Error occurred while writing Node Map to file", "WRITEMAP", &write_map))
    stop("Error occurred while writing Node Map to file", "WRITEMAP", 0);
}

// The factors of the subsystem matrices are not in the file: the reader makes
// them again from the restored matrices, with the start row the snapshot holds
// kept for the first step (nothing changed between the steps). The factors hold
// the Norton conductances of the Norton nodes as the last step left them
// (int4::ggind); the models set them again on every step. The writer calls this
// too, after the file's values are taken on: a run's matrix is kept up to date
// by increments and its factors partly renewed, so only factors made again the
// same way from the same numbers let both runs go on identically.
namespace {

void factorise_as_read() {
  for (std::int32_t ss = 1; ss <= int2::nmat; ++ss) {
    for (std::int32_t k = 1; k <= int2::nmb(ss); ++k) {
      const std::int32_t x = int2::ll(k, ss);
      e_s0::ggin(x, ss) = int4::ggind(x, ss);
    }
    const std::int32_t keep = e_s8::mxinv(ss);
    e_s8::mxinv(ss) = 1;
    // A subsystem factorised in a fill-reducing order is ordered again from its
    // pattern and node lists, as the reader, at its first factorisation, orders it.
    const bool reorder = wakro::ordered_elimination_active(ss, e_s0::mbus(ss));
    const std::int32_t count = int2::ntriang(ss);
    if (reorder) int2::ntriang(ss) = 0;
    itriang(ss);
    if (reorder) int2::ntriang(ss) = count + 1;
    e_s8::mxinv(ss) = keep;
    // No chatter step follows this factorisation: the matrix did not change.
    temp1::stabck(ss) = false;
    for (std::int32_t k = 1; k <= int2::nmb(ss); ++k) e_s0::ggin(int2::ll(k, ss), ss) = 0.0;
  }
}

}  // namespace

void wakro_writesnap() {
  wakro_snapfile(3);
  const std::string path = snapshot_path();
  SnapOut o;
  o.line("! WAKRO SNAP-SHOT - Version, Time, Delt");
  o.begin_group();
  o.value(Layout::H3, versin::version);
  o.value(Layout::H3, e_s1::time);
  o.value(Layout::H3, e_s1::delt);
  o.end_group();
  o.line("! " + std::string(assorc::title.view().substr(0, 60)));
  std::ostringstream dims;
  wakro_writedim(dims);
  // The section writers write into this text through the snapshot's unit.
  struct Target {
    Target(SnapOut& o) {
      g_snapshot = &o;
      g_snapshot_unit = fnames::iunit;
    }
    ~Target() { g_snapshot = nullptr; }
  } target(o);
  std::int32_t unit = fnames::iunit;
  wakro_writeline(unit);
  o.text() += dims.str();
  wakro_writeparm(unit);
  wakro_writesubsysdim(unit);
  wakro_writestors();
  wakro_writemap();
  o.free("MAP_UPDATE:");
  o.free(fnames::mapname.view());
  write_state_blocks(o);
  if (int2::nmat > 0) factorise_as_read();
  o.line(kRule);
  o.free("! End of Snap-shot");

  // Written whole to a temporary file, then put in place.
  const std::string tmp = path + ".tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  bool ok = f != nullptr;
  if (ok) ok = std::fwrite(o.text().data(), 1, o.text().size(), f) == o.text().size();
  if (f != nullptr && std::fclose(f) != 0) ok = false;
  if (ok) ok = std::rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) {
    std::remove(tmp.c_str());
    stop("Error occurred while writing snap file", "WRITESNP", 0);
  }
  if (snpdat::rtsnap == 0) snpdat::tsnap += snpdat::snpinc;
  wakro::write_layout(wakro::console(), "('Snapshot: Time: ',G15.8,'  File: ', A34)",
                      {e_s1::time, wakro::FixedText<34>(path).view()});
}

// ---------------------------------------------------------------- reading

void wakro_readstors() {
  using ndde::e_ndim;
  e_s2::nexc = e_ndim(dim::stor);
  quolbv3::ntxfr = e_ndim(dim::npages);
  pointers_at_dimensions();
  SnapIn in(fnames::iunit, &fail_stors);
  for (const Store& s : stores()) {
    const std::int32_t n = e_ndim(s.dim);
    // The DSX group is announced by its label alone (no dimension key holds it).
    if (n <= 0 && s.dim != dim::pf_init) continue;
    if (s.dim == dim::pf_init) {
      // Present only when the writer had load-flow data: peek at the next label.
      std::string line;
      bool present = false;
      for (;;) {
        if (wakro::read_record(fnames::iunit, line) != wakro::ReadStatus::ok) fail_stors(true);
        if (trim(line).empty()) continue;
        present = trim(line).substr(0, 5) == "!DSX:";
        wakro::step_back(fnames::iunit);
        break;
      }
      if (!present) continue;
    }
    const std::int32_t count = counted_label(in, s.label, &fail_stors);
    const std::int32_t want = s.dim == dim::pf_init ? count : n;
    if (count != want) {
      wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine, "Error while reading data from line:");
      wakro_quit("READSTORS", 1);
    }
    if (s.dim == dim::pf_init) {
      check_count("DSX", count, quolbv3::dsx.allocated() ? quolbv3::dsx.size() : 0, "READSTORS");
      e_ndim(dim::pf_init) = count;
    }
    for_store(s, [&](auto at) {
      using T = std::remove_reference_t<decltype(at(1))>;
      in.read<T>(count, at);
    });
  }
}

void wakro_readmap() {
  using ndde::e_ndim;
  quolbv3::nnode = e_ndim(dim::nnodes);
  quolbv3::nsubs = e_ndim(dim::subsyspage);
  quolbv3::ncx = e_ndim(dim::cx);
  SnapIn in(fnames::iunit, &fail_map);
  in.skip_comments();
  in.read<std::int32_t>(e_ndim(dim::nnodes), [](std::int64_t k) -> std::int32_t& { return quolbv3::node(k); });
  in.read<std::int32_t>(e_ndim(dim::subsyspage), [](std::int64_t k) -> std::int32_t& { return quolbv3::subs(k); });
  in.read<double>(e_ndim(dim::tx), [](std::int64_t k) -> double& { return radiolinks::tx(k); });
  in.read<std::int32_t>(e_ndim(dim::txrx), [](std::int64_t k) -> std::int32_t& { return radiolinks::txrx(k); });
  in.read<double>(e_ndim(dim::cx), [](std::int64_t k) -> double& { return quolbv3::cx(k); });
  in.read<std::int32_t>(e_ndim(dim::cxmap), [](std::int64_t k) -> std::int32_t& { return quolbv3::cxmap(k); });
  const std::int32_t channels = outppp::mpgbi.allocated() ? outppp::mpgbi.extent(1) : 0;
  in.skip_comments();
  outppp::mplt = in.counted<std::int32_t>([&](std::int32_t n) { check_count("MPGBS", n, channels, "READMAP"); },
                                          [](std::int64_t k) -> std::int32_t& { return outppp::mpgbi(k); });
  in.skip_comments();
  outppp::iplt = in.counted<std::int32_t>([&](std::int32_t n) { check_count("IPGBS", n, channels, "READMAP"); },
                                          [](std::int64_t k) -> std::int32_t& { return outppp::ipgbi(k); });
  const std::int32_t n = counted_label(in, "! PGBNAME:", &fail_map);
  check_count("PGBNAME", n, outppp::pgbname.allocated() ? outppp::pgbname.extent(1) : 0, "READMAP");
  outppp::jplt = n;
  for (std::int32_t k = 1; k <= n; ++k) outppp::pgbname(k) = in.raw_line();
  if (!mna::enable_mna) return;
  in.skip_comments();
  in.read<std::int32_t>(2, [](std::int64_t k) -> std::int32_t& { return k == 1 ? ndde::nd75 : ndde::nd74; });
  for (auto* a : {&mna::mna_elem, &mna::mbus_mna, &mna::mna_start, &mna::mna_end})
    in.read<std::int32_t>(ndde::nd2, [&](std::int64_t k) -> std::int32_t& { return (*a)(k); });
  mna::no_mna = in.one<std::int32_t>();
  check_count("MNA elements", mna::no_mna, mna::mnad.allocated() ? mna::mnad.extent(1) : 0, "READMAP");
  std::int32_t nd = in.one<std::int32_t>();
  check_count("MNA declarations", nd, mna::mnads.allocated() ? mna::mnads.extent(1) : 0, "READMAP");
  for (std::int32_t k = 1; k <= mna::no_mna; ++k) {
    mna::Mnad& r = mna::mnad(k);
    r.kind = in.one<std::int32_t>();
    r.subsystem = in.one<std::int32_t>();
    in.read<std::int32_t>(10, [&](std::int64_t j) -> std::int32_t& {
      std::int32_t* head[4] = {&r.a, &r.b, &r.c, &r.d};
      return j <= 4 ? *head[j - 1] : r.more_pairs(static_cast<int>((j - 5) % 2 + 1), static_cast<int>((j - 5) / 2 + 1));
    });
    double* reals[5] = {&r.param, &r.value1, &r.value2, &r.current1, &r.current2};
    in.read<double>(5, [&](std::int64_t j) -> double& { return *reals[j - 1]; });
    std::int32_t* ints[5] = {&r.zero_imp, &r.branch_i1, &r.branch_i2, &r.dyn_branch, &r.dyn_i2};
    in.read<std::int32_t>(5, [&](std::int64_t j) -> std::int32_t& { return *ints[j - 1]; });
  }
  for (std::int32_t k = 1; k <= nd; ++k) mna::mnads(k).element = in.one<std::int32_t>();
}

// ---------------------------------------------------------------- map merge

namespace {

// The next key line of the map file: skips comments, returns false at a new
// section (fnames::section changed) or at its end.
bool map_line(const wakro::FixedText<72>& section, wakro::FixedText<72>& line) {
  rdcmnt();
  if (!rdcmnt_in_section(section)) return false;
  if (wakro::read_line72(line) != wakro::ReadStatus::ok) fail_update(true);
  return true;
}

[[noreturn]] void incompatible() {
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(3), "Snapshot file is incompatible. ");
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kMiddleLine,
                "This may be due to modifications done to the project or the definition");
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine,
                " of a component in the project after the Snapshot file created.");
  wakro_quit("UPDATE_MAP", 0);
}

// A larger channel count: all four channel arrays and nd13 grow together.
void resize_channels(std::int32_t value) {
  const std::int32_t size = (std::max(value, 1) / 10 + 1) * 10;
  pf_display::reallocate_pgb(value);
  if (size > ndde::nd13) {
    for (auto* a : {&outppp::mpgbi, &outppp::ipgbi}) {
      a->release();
      a->allocate(size);
    }
    outppp::pgbname.release();
    outppp::pgbname.allocate(size);
    ndde::nd13 = size;
  }
  for (std::int32_t k = 1; k <= value; ++k) {
    e_s4::pgb(k) = 0.0;
    outppp::pgbname(k) = "PGB";
  }
}

}  // namespace

void update_from_map() {
  using ndde::e_ndim;
  // 1-2. "MAP_UPDATE:" and the map file's name (a raw line: names may hold blanks).
  SnapIn in(fnames::iunit, &fail_update);
  std::string key;
  for (;;) {
    std::string line;
    if (wakro::read_record(fnames::iunit, line) != wakro::ReadStatus::ok) fail_update(true);
    const std::string_view s = trim(line);
    if (s.empty() || s[0] == '!') continue;
    key = std::string(s);
    break;
  }
  if (key != "MAP_UPDATE:") fail_update(true);
  const std::string map = std::string(trim(in.raw_line()));
  fnames::mapname = map;

  // 3. The map file on the next unit; a missing one leaves the snapshot's own.
  if (std::FILE* f = std::fopen(map.c_str(), "r")) {
    std::fclose(f);
  } else {
    wakro_message(0, 0, wakro::msg::kWarning, wakro::msg::first_of(2), "Specified Mapfile not found: " + map);
    wakro_message(0, 0, wakro::msg::kWarning, wakro::msg::kLastLine, ". Continuing with original parameters.");
    return;
  }
  const std::int32_t snap_unit = fnames::iunit;
  const wakro::FixedText<72> saved_name = fnames::filename;
  wakro::open_file_named(map, 1);
  const std::int32_t map_unit = fnames::iunit;
  auto close_map = [&] {
    wakro::close_unit(map_unit);
    fnames::filename = saved_name;
  };

  // 4-5. The dimensions: the electrical structure must be the snapshot's.
  fnames::section = "DIMENSIONS:";
  wakro_gotosection();
  const wakro::FixedText<72> dims("DIMENSIONS:");
  wakro::FixedText<72> line;
  while (map_line(dims, line)) {
    const wakro::FixedText<72> k = wakro_firstwrd(line);
    std::int32_t value = 0;
    if (wakro::list_read(wakro_rhs72str(line).view(), {value}) != wakro::ReadStatus::ok) fail_update(false);
    struct Rule { const char* key; int dim; };
    static constexpr Rule rules[] = {{"SUBSYS", dim::subsys},  {"BRANCHES", dim::branches},
                                     {"NNODES", dim::nnodes},  {"STOL", dim::stol},
                                     {"STOI", dim::stoi},      {"STOF", dim::stof},
                                     {"STOC", dim::stoc}};
    // NODES may exceed the largest bus count the writing run found; it must
    // be what the writing run's map file gave.
    if (k == "NODES") {
      if (value < e_ndim(dim::nodes) || (g_nodes_of_map >= 0 && value != g_nodes_of_map)) incompatible();
      continue;
    }
    for (const Rule& r : rules)
      if (k == r.key && value != e_ndim(r.dim)) incompatible();
    // A new channel count: on the first run the channel arrays take it; on a
    // later run only a count beyond them makes them grow (the arrays are never
    // read past their end).
    if (k == "PGBS") {
      if (value < 0) fail_update(false);
      outppp::jplt = value;
      if ((ctrl::mmm == 1 && value != e_ndim(dim::pgbs)) || value > ndde::nd13) {
        e_ndim(dim::pgbs) = value;
        resize_channels(value);
      }
    }
  }
  // 6. The parameters the run can take over.
  const wakro::FixedText<72> parms("PARAMETERS:");
  while (fnames::section == "PARAMETERS:" && map_line(parms, line)) {
    const wakro::FixedText<72> k = wakro_firstwrd(line);
    const wakro::FixedText<72> v = wakro_rhs72str(line);
    if (k == "PRINT_STEP" && !v.is_blank()) {
      double print = 0.0;
      if (wakro::list_read(v.view(), {print}) != wakro::ReadStatus::ok) fail_update(false);
      e_s1::print = std::max(print, e_s1::delt);
    } else if (k == "PRINT_DIMENSIONS" && wakro_firstwrd(v) == "YES") {
      options::prndim = true;
    }
  }
  // 7-8. The channel lists, names and output description.
  if (outppp::jplt == 0) {
    close_map();
    return;
  }
  for (;;) {
    if (fnames::section == "ENDCASE:" || fnames::section == "NEXTKEY:" || fnames::iunit < map_unit) {
      ListLine() << "NEXTKEY: Unexpected End_Of_File";
      fnames::iunit >= map_unit ? close_map() : void();
      wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine, "Unexpected End_Of_File");
      wakro_quit("UPDATE_MAP", 1);
    }
    const wakro::FixedText<72> before = fnames::section;
    if (fnames::section == "MPGBS:") {
      wakro_rdmpgb();
    } else if (fnames::section == "IPGBS:") {
      wakro_rdipgb();
    } else if (fnames::section == "PGBList:") {
      wakro_rdpgblist();
    } else if (fnames::section == "DATAStruct:") {
      wakro_datastruct();
      close_map();
      (void)snap_unit;
      return;
    } else {
      wakro_nextkey();
      continue;
    }
    // Each list reader reads on to the next key, or reads its section's data
    // and is called again, as the case reader's dispatch does.
    (void)before;
  }
}

// ---------------------------------------------------------------- snapshot

namespace {

// "SUBSYSDIM:": the subsystem count and orders, then the subsystem matrices.
// (Read here rather than by the case reader's section reader, which reads on
// past the comment lines that follow, and so past the first store's label.)
void read_subsysdim(SnapIn& in) {
  in.skip_comments();
  if (!e_s0::ssdim.allocated()) {
    std::int32_t status = 0;
    e_s0::allocate_ssdim_array(ndde::nd2, status);
  }
  in.counted<std::int32_t>(
      [](std::int32_t n) {
        if (n != ndde::nd2) check_count("subsystems", n, ndde::nd2, "READSNP");
        if (n != ndde::nd2) fail_snap(false);
      },
      [](std::int64_t k) -> std::int32_t& { return e_s0::ssdim(k); });
  for (std::int32_t k = 1; k <= ndde::nd2; ++k) check_count("subsystem order", e_s0::ssdim(k), ndde::nd1, "READSNP");
  std::int32_t status = 0;
  e_s0::allocate_ss_matrices(ndde::nd2, e_s0::ssdim, status);
  if (status != 0) fail_snap(false);
}

}  // namespace

void wakro_readsnap() {
  using ndde::e_ndim;
  if (ctrl::firstrun) ListLine() << "Reading data for snap file: " + std::string(fnames::inam.view());
  wakro_snapfile(1);
  read_nodes_of_map(snapshot_path());
  SnapIn in(fnames::iunit, &fail_snap);
  in.skip_comments();
  double version = 0.0;
  in.read<double>(1, [&](std::int64_t) -> double& { return version; });
  wakro_rddim();
  wakro_initialz();
  wakro_rdparm();
  e_s5::jset = e_ndim(dim::trafos);
  e_s7::line = e_ndim(dim::tlines);
  // The parameter reader stopped at "END:"; "SUBSYSDIM:" follows.
  if (fnames::section == "END:") rdcmnt();
  if (!(fnames::section == "SUBSYSDIM:") || rdcmnt_at_data()) fail_snap(false);
  read_subsysdim(in);
  wakro_readstors();
  wakro_readmap();
  initialize_mna_snap();
  outppp::jplt2 = outppp::jplt;
  update_from_map();
  read_state_blocks(in);
  // The file must end where the reading ended, with the rule and the end
  // line: a line too many or too few anywhere before shifts every later value,
  // which a read of numbers alone cannot see.
  {
    std::string line;
    do line = in.raw_line();
    while (trim(line).empty());
    if (trim(line) != kRule) fail_snap(false);
    do line = in.raw_line();
    while (trim(line).empty());
    if (trim(line) != "! End of Snap-shot") fail_snap(false);
  }
  // The matrices were written during a run, after the time-zero build: they
  // are in the nodal form, and changes made to them from now on must know it.
  if (int2::nmat > 0) e_s0::gm_built = true;
  factorise_as_read();
  while (fnames::iunit > wakro::kUnitBase) wakro_closefile();
}

