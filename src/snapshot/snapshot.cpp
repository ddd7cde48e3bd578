// Snapshot writing, naming, reading and the map merge (see snapshot.h).
#include "snapshot/snapshot.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <string_view>
#include <variant>

#include <unistd.h>

#include "diag/console.h"
#include "diag/format.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "files/linereader.h"
#include "files/listread.h"
#include "files/textfile.h"
#include "files/units.h"
#include "files/words.h"
#include "input/case_walk.h"
#include "input/dimensions.h"
#include "input/input_hooks.h"
#include "input/parameters.h"
#include "input/readdata.h"
#include "input/section_util.h"
#include "model/assorc.h"
#include "model/ctrl.h"
#include "model/dim.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_s4.h"
#include "model/e_s5.h"
#include "model/e_s7.h"
#include "model/e_s8.h"
#include "model/e_warn.h"
#include "model/fatal.h"
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
#include "output/output_lock.h"
#include "model/storage.h"
#include "model/versin.h"
#include "network/matrix.h"
#include "network/mna_routines.h"
#include "network/solution.h"
#include "output/check_snap.h"
#include "snapshot/archive.h"
#include "snapshot/case_identity.h"
#include "snapshot/layout.h"
#include "snapshot/map_dimensions.h"
#include "snapshot/state_check.h"

namespace wakro::snapshot {
namespace {

std::string g_path;

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
  std::string s(" ");
  s.append(key).append(quoted);
  return s;
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

// The stores in file order: label, dimension entry, layout and the store
// itself (the checked stores, whose every access is bounds-checked, and the
// plain ones, of the four element types).
using StoreArray = std::variant<wakro::FArray<bool, 1>*, wakro::FArray<bool, 1, true>*,
                                wakro::FArray<std::int32_t, 1>*, wakro::FArray<std::int32_t, 1, true>*,
                                wakro::FArray<double, 1>*, wakro::FArray<double, 1, true>*,
                                wakro::FArray<std::complex<double>, 1>*, wakro::FArray<std::complex<double>, 1, true>*>;

struct Store {
  const char* label;
  int dim;
  Layout layout;
  StoreArray array;
};

std::vector<Store> stores() {
  return {{"!STOL:", dim::stol, Layout::L80, &quolbv3::stol},
          {"!STOI:", dim::stoi, Layout::I15, &quolbv3::stoi},
          {"!STOF:", dim::stof, Layout::R8, &quolbv3::stof},
          {"!STOC:", dim::stoc, Layout::C1, &quolbv3::stoc},
          {"!DSX:", dim::pf_init, Layout::R8, &quolbv3::dsx},
          {"!STOR:", dim::stor, Layout::R8, &e_s2::stor},
          {"!STORL:", dim::storl, Layout::L80, &storage::storl},
          {"!STORI:", dim::stori, Layout::I15, &storage::stori},
          {"!STORF:", dim::storf, Layout::R8, &storage::storf},
          {"!STORC:", dim::storc, Layout::C1, &storage::storc},
          {"!RTCL:", dim::rtcl, Layout::L80, &rt_config::rtcl},
          {"!RTCI:", dim::rtci, Layout::I15, &rt_config::rtci},
          {"!RTCF:", dim::rtcf, Layout::R8, &rt_config::rtcf},
          {"!RTCC:", dim::rtcc, Layout::C1, &rt_config::rtcc},
          {"!STXFRL:", dim::stxfrl, Layout::L80, &storage::stxfrl},
          {"!STXFRI:", dim::stxfri, Layout::I15, &storage::stxfri},
          {"!STXFRF:", dim::stxfrf, Layout::R8, &storage::stxfrf},
          {"!STXFRC:", dim::stxfrc, Layout::C1, &storage::stxfrc},
          {"!PGB:", dim::pgbs, Layout::R8, &e_s4::pgb}};
}

// Calls f with the accessor of the store's elements: element k, or a scratch
// value past its end (a store allocated smaller than its dimension reads back
// nothing into memory it does not own).
template <class F>
void for_store(const Store& s, F f) {
  std::visit(
      [&](auto* arr) {
        using T = std::remove_reference_t<decltype(arr->data()[0])>;
        T scratch{};
        f([&](std::int64_t k) -> T& {
          if (arr->allocated() && k <= arr->size()) return arr->data()[k - 1];
          scratch = T{};
          return scratch;
        });
      },
      s.array);
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

// The first n entries of an array that it holds: n, or fewer when the array
// is smaller or not allocated (as the channel-file writer and the non-finite
// watch read the channel names). A map part cut short is refused by the reader.
template <class A>
std::int32_t held(const A& array, std::int32_t n) {
  const std::int64_t extent = array.allocated() ? array.extent(1) : 0;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(n, 0, extent));
}

// A group of the first n reals of an array, each taking the value the file
// holds (as the stores' reals do).
void put_reals(SnapOut& o, wakro::FArray<double, 1>& a, std::int32_t n) {
  o.begin_group();
  for (std::int32_t k = 1; k <= n; ++k) a(k) = o.put(Layout::R8, a(k));
  o.end_group();
}

void write_map(SnapOut& o) {
  using ndde::e_ndim;
  quolbv3::nnode = e_ndim(dim::nnodes);
  quolbv3::nsubs = e_ndim(dim::subsyspage);
  quolbv3::ncx = e_ndim(dim::cx);
  o.free("! MAP ");
  o.group(Layout::I15, held(quolbv3::node, e_ndim(dim::nnodes)), [](std::int64_t k) { return quolbv3::node(k); });
  o.group(Layout::I15, held(quolbv3::subs, e_ndim(dim::subsyspage)), [](std::int64_t k) { return quolbv3::subs(k); });
  put_reals(o, radiolinks::tx, held(radiolinks::tx, e_ndim(dim::tx)));
  o.group(Layout::I15, held(radiolinks::txrx, e_ndim(dim::txrx)), [](std::int64_t k) { return radiolinks::txrx(k); });
  put_reals(o, quolbv3::cx, held(quolbv3::cx, e_ndim(dim::cx)));
  o.group(Layout::I15, held(quolbv3::cxmap, e_ndim(dim::cxmap)), [](std::int64_t k) { return quolbv3::cxmap(k); });
  // The channel lists and names: the counts in use, within their arrays.
  const std::int32_t mplt = held(outppp::mpgbi, outppp::mplt);
  const std::int32_t iplt = held(outppp::ipgbi, outppp::iplt);
  const std::int32_t jplt = held(outppp::pgbname, outppp::jplt);
  o.free("! MPGBS: " + std::to_string(mplt));
  o.group(Layout::I15, mplt + 1, [&](std::int64_t k) { return k == 1 ? mplt : outppp::mpgbi(k - 1); });
  o.free("! IPGBS: " + std::to_string(iplt));
  o.group(Layout::I15, iplt + 1, [&](std::int64_t k) { return k == 1 ? iplt : outppp::ipgbi(k - 1); });
  o.free("! PGBNAME: " + std::to_string(jplt));
  for (std::int32_t k = 1; k <= jplt; ++k) o.line(outppp::pgbname(k).trimmed());
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
    // (The reals take the value the file holds, as the stores' do: the run
    // that writes the snapshot goes on from what the resumed run reads.)
    o.begin_group();
    for (double* v : {&r.param, &r.value1, &r.value2, &r.current1, &r.current2}) *v = o.put(Layout::R8, *v);
    o.end_group();
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

// A name that names something other than a file: a device (whose "lines"
// need not end), a folder, a pipe.
bool exists_but_not_a_file(const std::string& name) { return !wakro::not_a_file(name).empty(); }

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
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
    // (Also an infinite count, or one beyond every array: it is no count.)
    if (!(v >= 0.0 && v <= std::numeric_limits<std::int32_t>::max()))
      refuse_text("WAKRO: Snapshot count is not a count: " + std::string(trim(label)) + " " + std::string(rest));
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

namespace {

// Opens the named snapshot for reading and makes it the snapshot's path.
void open_for_reading(const std::string& n) {
  g_path = std::string(trim(n));
  fnames::filename = g_path;
  // A device or a folder is no snapshot: its "lines" need not end.
  if (exists_but_not_a_file(g_path)) refuse_text("WAKRO: The snapshot is not a regular file");
  wakro::open_file_named(g_path, 1);
}

// True for the design environment's names of an input snapshot
// ("input_snap ", "input_snap(n)  ", "input_snap(nn)  "), which are used as
// they are.
bool is_input_snap(std::string_view v) {
  if (v.substr(0, 11) == "input_snap ") return true;
  return v.substr(0, 11) == "input_snap(" &&
         ((v.size() >= 15 && v.substr(12, 3) == ")  ") || (v.size() >= 16 && v.substr(13, 3) == ")  "));
}

// Where the name's stem ends: at the first blank or dot of its file-name part
// (a folder such as "../snaps" stays whole), else at 28, or at the name's end
// when a folder part reaches that far.
std::size_t stem_end(const std::string& name) {
  const std::size_t part = file_part_start(name);
  const std::size_t end = part == 0 ? std::min<std::size_t>(28, name.size()) : name.size();
  for (std::size_t i = part; i < end; ++i)
    if (name[i] == ' ' || name[i] == '.') return i;
  return part == 0 ? wakro::name_cut(name, 28) : end;
}

// Writes `with` over `s` from `at`, lengthening `s` with blanks as needed. The
// bytes left of a letter that `with` covered in part go with it, so that what
// stays after it starts on a letter.
void overwrite(std::string& s, std::size_t at, std::string_view with) {
  if (s.size() < at + with.size()) s.resize(at + with.size(), ' ');
  s.replace(at, with.size(), with);
  const std::size_t tail = at + with.size();
  std::size_t k = tail;
  while (k < s.size() && k - tail < 3 && (static_cast<unsigned char>(s[k]) & 0xC0) == 0x80) ++k;
  s.erase(tail, k - tail);
}

// The names of the files in the messages of their locks.
constexpr std::string_view kSnapshotKind = "snapshot";
constexpr std::string_view kTemporaryKind = "temporary snapshot";

// A snapshot is written whole to this file, then renamed to its own name.
std::string temporary_file_of(const std::string& path) { return path + ".tmp"; }

// A snapshot and its temporary file, each locked before it is made.
void lock_snapshot(const std::string& path, wakro::LockRefusal refusal = wakro::LockRefusal::stops_before_writing) {
  wakro::lock_output_file(path, kSnapshotKind, refusal);
  wakro::lock_output_file(temporary_file_of(path), kTemporaryKind, refusal);
}

// Incremental names run _01 to _10, then start again.
constexpr std::int32_t kNumberedNames = 10;

// The name of incremental snapshot `nn`: the stem and "_nn.snp".
std::string numbered(std::string s, std::size_t stem, std::int32_t nn) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "_%02d.snp", static_cast<int>(nn));
  overwrite(s, stem, buf);
  return s;
}

// The next incremental snapshot's name; from the eleventh on, the names are
// used again from the first, which the listing says.
std::string next_numbered(const std::string& name, std::size_t stem, bool rt) {
  if (snpdat::icntsp > 0 && snpdat::icntsp % 10 == 0) {
    ListLine() << "Maximum # of incremental snapshot files reached.";
    ListLine() << "Snapshot file names will be recycled.";
  }
  std::int32_t& c = rt ? snpdat::icntsprt : snpdat::icntsp;
  const std::string next = numbered(name, stem, c % 10 + 1);
  ++c;
  return next;
}

// The listing's summary of the incremental snapshots: the files still on
// disk, oldest first, and whether a manual one was taken.
void list_numbered(const std::string& name, std::size_t stem) {
  std::int32_t k = snpdat::icntsp > 10 ? snpdat::icntsp % 10 : 0;
  const std::int32_t n = std::min(10, snpdat::icntsp);
  for (std::int32_t i = 0; i < n; ++i) {
    k = k % 10 + 1;
    ListLine() << "";
    ListLine() << "           Snapshot: " + std::string(wakro::name_prefix(trim(numbered(name, stem, k)), 20));
  }
  if (snpdat::icntsprt >= 1) {
    ListLine() << "";
    ListLine() << " Manual snapshot(s): Taken";
  }
}

// The listing's summary of a snapshot taken under one name, and of a manual
// one.
void list_single(const std::string& name) {
  if (snpdat::icntsp > 0) {
    ListLine() << "";
    ListLine() << "           Snapshot: " + std::string(wakro::name_prefix(trim(name), 20));
  }
  if (snpdat::icntsprt >= 1) {
    ListLine() << "";
    ListLine() << "    Manual snapshot: " + std::string(wakro::name_prefix(fnames::rtsnam.trimmed(), 20));
  }
}

}  // namespace

// Mode 1 opens the snapshot to resume from; mode 3 names the next snapshot to
// write (counting it); mode 0 lists the snapshots taken.
void wakro_snapfile(std::int32_t mode) {
  e_warn::comp_id1 = 0;
  e_warn::comp_id2 = 0;
  const bool rt = snpdat::rtsnap != 0;
  const wakro::FixedText<34>& src = mode == 1 ? fnames::inam : (rt ? fnames::rtsnam : fnames::snam);
  if (mode == 0 && snpdat::icntsp == 0 && snpdat::icntsprt == 0) return;
  std::string name(src.view());
  if (mode == 1 && is_input_snap(name)) return open_for_reading(name);
  const std::size_t p = stem_end(name);
  const bool incremental = mode != 1 && snpdat::newsnp != 0;
  if (!incremental) {
    overwrite(name, p, ".snp");
    if (mode == 3) (rt ? snpdat::icntsprt : snpdat::icntsp) += 1;
  } else {
    snpdat::nmaxsnp = 10;
    if (mode != 3) return list_numbered(name, p);
    name = next_numbered(name, p, rt);
  }
  if (mode == 0) return list_single(name);
  if (mode == 1) return open_for_reading(name);
  g_path = std::string(trim(name));
  fnames::filename = g_path;
}

namespace wakro::snapshot {

namespace {

// The name of scheduled snapshot nn (1-10) under incremental names, or of the
// scheduled snapshot under a fixed name (nn = 0), as wakro_snapfile(3) forms it.
std::string scheduled_name(std::int32_t nn) {
  std::string name(fnames::snam.view());
  const std::size_t p = stem_end(name);
  if (nn == 0)
    overwrite(name, p, ".snp");
  else
    name = numbered(name, p, nn);
  return std::string(trim(name));
}

// Scheduled snapshots the last run takes: the due times from snpdat::tsnap on,
// snpdat::snpinc apart, up to its last step's time (half a step after it still
// counts, as the run loop takes them).
std::int32_t planned_snapshot_count() {
  if (snpdat::at_run_end) return 1;
  const double first_step = snpdat::iiisnp >= 1 ? snpdat::iiisnp + 1 : 0;
  const double last = e_s1::delt * (first_step + ctrl::ndelt) + 0.5001 * e_s1::delt;
  if (!(snpdat::tsnap <= last)) return 0;
  if (!(snpdat::snpinc > 0.0)) return 1;
  return static_cast<std::int32_t>(std::min((last - snpdat::tsnap) / snpdat::snpinc, 1.0e6)) + 1;
}

}  // namespace

void lock_fixed_snapshot_name() {
  if (outppp::snpfil == 0) return;
  // The numbered names differ only in their number.
  const std::string first = scheduled_name(snpdat::newsnp != 0 ? 1 : 0);
  check_lock_file_name(first, "snapshot name", fnames::snam.trimmed(), "the snapshots");
  if (snpdat::newsnp == 0) lock_snapshot(first, LockRefusal::writes_nothing);
}

void lock_numbered_snapshot_names() {
  if (outppp::snpfil == 0 || snpdat::newsnp == 0) return;
  const std::int32_t n = std::min(planned_snapshot_count(), kNumberedNames);
  for (std::int32_t nn = 1; nn <= n; ++nn) lock_snapshot(scheduled_name(nn), refusal_once_case_read());
}

}  // namespace wakro::snapshot

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

namespace {

// True when the case holds a step's state to write: it is read (its subsystem
// orders and channel names exist) and the step the file would record is one
// the run has taken. A run from data has taken none before its time-zero
// step, where the design environment's order can arrive among its start-up
// messages: that file would record step -1, which no reader takes.
bool case_can_be_written() {
  const bool read = e_s0::ssdim.allocated() && e_s0::ssdim.extent(1) >= ndde::nd2 && outppp::pgbname.allocated();
  const std::int64_t step = std::int64_t{ctrl::iii} - (snpdat::rtsnap != 0 ? 1 : 0);
  return read && step >= 0;
}

}  // namespace

void wakro_writesnap() {
  // Refused with a warning, which reaches the design environment when it is
  // connected; nothing is counted and the schedule does not move.
  if (!case_can_be_written()) {
    wakro_warn(0, 0, wakro::msg::kSingleLine, "WAKRO: Snapshot not written: the run has not taken its first step");
    return;
  }
  wakro_snapfile(3);
  const std::string path = snapshot_path();
  // No byte of a snapshot is written before its files are locked (output_lock.h).
  lock_snapshot(path);
  SnapOut o;
  o.line("! WAKRO SNAP-SHOT - Version, Time, Delt");
  o.begin_group();
  o.value(Layout::H3, versin::version);
  o.value(Layout::H3, e_s1::time);
  o.value(Layout::H3, e_s1::delt);
  o.end_group();
  o.line("! " + std::string(assorc::title.view().substr(0, 60)));
  std::ostringstream dims;
  wakro_writedim(dims, &available_to_write);
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
  o.text() += identity_lines(identity_to_write(std::string(fnames::mapname.trimmed())));
  o.text() += dims.str();
  wakro_writeparm(unit);
  wakro_writesubsysdim(unit);
  wakro_writestors();
  wakro_writemap();
  o.free("MAP_UPDATE:");
  o.free(fnames::mapname.view());
  write_state_blocks(o);
  if (int2::nmat > 0) wakro::factorise_as_read();
  o.line(kRule);
  o.free("! End of Snap-shot");

  // Written whole to a temporary file, then put in place.
  // The message names the snapshot and the system's reason. Whatever stands at
  // the temporary name is removed and the file made anew, never opened: a
  // link there would have the snapshot written into the file it leads to and
  // then put in place as the snapshot. Only the file made here is removed.
  const std::string tmp = temporary_file_of(path);
  errno = 0;
  std::FILE* f = nullptr;
  if (::unlink(tmp.c_str()) == 0 || errno == ENOENT) {  // a folder there answers EISDIR
    errno = 0;
    f = std::fopen(tmp.c_str(), "wbx");
  }
  bool ok = f != nullptr;
  if (ok) ok = std::fwrite(o.text().data(), 1, o.text().size(), f) == o.text().size();
  int reason = ok ? 0 : errno;
  if (f != nullptr && std::fclose(f) != 0 && ok) {
    ok = false;
    reason = errno;
  }
  if (ok && std::rename(tmp.c_str(), path.c_str()) != 0) {
    ok = false;
    reason = errno;
  }
  if (!ok) {
    if (f != nullptr) ::unlink(tmp.c_str());
    stop("Error occurred while writing snap file " + path + ": " + wakro::system_reason(reason != 0 ? reason : EIO),
         "WRITESNP", 0);
  }
  if (snpdat::rtsnap == 0) snpdat::tsnap += snpdat::snpinc;
  wakro::write_layout(wakro::console(), "('Snapshot: Time: ',G15.8,'  File: ', A34)",
                      {e_s1::time, wakro::FixedText<34>(wakro::name_prefix(path, 34)).view()});
}

// ---------------------------------------------------------------- reading

namespace {

// The largest node dimension the case reader takes: its sparsity triangle
// n(n-1)/2+1 fits a 32-bit count.
std::int32_t largest_node_dimension() {
  std::int32_t n = 1;
  while (ndde::sparsity_default(n + 1) <= std::numeric_limits<std::int32_t>::max()) ++n;
  return n;
}

// The orders of the subsystems with their MNA elements, and the two working
// sizes formed from them, which size the work matrices and the sparsity lists:
// as the MNA set-up forms them from the subsystems' own orders. The set-up
// numbers the element records subsystem by subsystem, in subsystem order,
// from 1; a subsystem without elements has neither a first nor a last one,
// and the records past the last are not in use (checked with the state).
void check_mna_orders() {
  std::int32_t largest = 0;
  std::int32_t used = 0;
  for (std::int32_t ss = 1; ss <= ndde::nd2; ++ss) {
    const std::int32_t elements = mna::mna_elem(ss);
    const std::string of_ss = " of " + item("subsystem", ss);
    // (A subsystem past the case's has none.)
    check_range("MNA elements" + of_ss, elements, 0, ss <= int2::nmat ? mna::no_mna - used : 0, "READMAP");
    check_range("order with MNA elements" + of_ss, mna::mbus_mna(ss), elements, e_s0::ssdim(ss) + elements, "READMAP");
    const std::int32_t first = elements > 0 ? used + 1 : 0;
    const std::int32_t last = elements > 0 ? used + elements : 0;
    check_range("first MNA element" + of_ss, mna::mna_start(ss), first, first, "READMAP");
    check_range("last MNA element" + of_ss, mna::mna_end(ss), last, last, "READMAP");
    used += elements;
    largest = std::max(largest, mna::mbus_mna(ss));
  }
  if (int2::nmat < 1 || largest < 1) {
    // No subsystem has an order: the set-up took the node dimension of the map
    // the run began with, which the resumed run is not sized by (it takes the
    // nodes in use) but which the snapshot's NODES line holds in its
    // "available" column; without that line, any order the case reader takes
    // is one it may have set.
    if (const std::int32_t nodes = nodes_of_map(); nodes >= 1)
      check_range("MNA work-matrix order", ndde::nd75, nodes, nodes, "READMAP");
    else
      check_range("MNA work-matrix order", ndde::nd75, 1, largest_node_dimension(), "READMAP");
    largest = ndde::nd75;
  }
  const std::int64_t triangle = std::min<std::int64_t>(ndde::sparsity_default(largest),
                                                      std::numeric_limits<std::int32_t>::max());
  check_range("MNA work-matrix order", ndde::nd75, largest, largest, "READMAP");
  check_range("MNA sparsity list length", ndde::nd74, triangle, triangle, "READMAP");
}

}  // namespace


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
  check_range("MNA declarations", nd, e_ndim(dim::nmana), e_ndim(dim::nmana), "READMAP");
  check_mna_orders();
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

[[noreturn]] void incompatible() {
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(3), "Snapshot file is incompatible. ");
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kMiddleLine,
                "This may be due to modifications done to the project or the definition");
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine,
                " of a component in the project after the Snapshot file created.");
  wakro_quit("UPDATE_MAP", 0);
}

// A larger channel count: all four channel arrays and nd13 grow together, in
// the blocks of ten the dimension table gives them.
void resize_channels(std::int32_t value) {
  const std::int32_t size = ndde::channel_block(value);
  pf_display::reallocate_pgb(size);
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

namespace {

// "MAP_UPDATE:" and the map file's name after it (a raw line: names may hold
// blanks); the name becomes the run's map name.
std::string read_map_name() {
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
  // (A NUL byte would make the system read the file its first part names.)
  if (const std::string refusal = wakro::nul_in_name(map); !refusal.empty())
    refuse_text(refusal, "UPDATE_MAP");
  fnames::mapname = map;
  return map;
}

// True when the map file is there to be read; a missing one is said, and the
// snapshot's own parameters stay. A name that is not a file (a device, a
// folder) is no map.
bool map_is_there(const std::string& map) {
  if (exists_but_not_a_file(map))
    refuse_text("WAKRO: The snapshot's map file is not a regular file: " + map, "UPDATE_MAP", map);
  if (std::FILE* f = std::fopen(map.c_str(), "r")) {
    std::fclose(f);
    return true;
  }
  // Any reason but a missing file is added (a missing file is what the text says).
  const int error = errno;
  const std::string reason = error == ENOENT ? "" : ": " + wakro::system_reason(error);
  wakro_message(0, 0, wakro::msg::kWarning, wakro::msg::first_of(2),
                "Specified Mapfile not found: " + map + reason);
  wakro_message(0, 0, wakro::msg::kWarning, wakro::msg::kLastLine, ". Continuing with original parameters.");
  return false;
}

// The map's dimensions, each from its last line in the first "DIMENSIONS:"
// section, as the dimension reader keeps them: the electrical structure must
// be the snapshot's, and a new channel count is taken on.
void merge_dimensions(const std::vector<std::pair<wakro::FixedText<72>, std::int32_t>>& dimensions) {
  using ndde::e_ndim;
  struct Rule { const char* key; int dim; };
  static constexpr Rule rules[] = {{"SUBSYS", dim::subsys}, {"BRANCHES", dim::branches}, {"NNODES", dim::nnodes},
                                   {"STOL", dim::stol},     {"STOI", dim::stoi},         {"STOF", dim::stof},
                                   {"STOC", dim::stoc}};
  for (const auto& [k, value] : dimensions) {
    // NODES may exceed the largest bus count the writing run found; it must
    // size the nodes as the writing run's map file did (its "available"
    // column holds the working size, at least 1 also for a map's 0).
    if (k == "NODES") {
      if (value < e_ndim(dim::nodes) || (nodes_of_map() >= 0 && ndde::working_size(value) != nodes_of_map()))
        incompatible();
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
}

// The merge's part of the walk over the map file and its pages
// (input/case_walk.h), which reads them as the case reader reads them: the
// dimensions and parameters of the opening sections it reads (the last line of
// a repeated key), the channel lists and output description of the sections it
// reads, wherever they stand and as often as they are repeated, each by the reader
// of a start from data with its checks (a count within the channel tables;
// the entries, as there, are not checked: the channel writers give an entry
// outside the channel values no value). A map of a case that runs with another
// time step is not the snapshot's case.
class MapMerge final : public wakro::CaseWalk {
 public:
  explicit MapMerge(std::string map) : map_(std::move(map)) {}
  std::string_view tag() const override { return "UPDATE_MAP"; }

  void dimension_line(const wakro::FixedText<72>& line) override {
    const wakro::FixedText<72> k = wakro_firstwrd(line);
    std::int32_t value = 0;
    if (wakro::list_read(wakro_rhs72str(line).view(), {value}) != wakro::ReadStatus::ok) fail_update(false);
    for (auto& [key, v] : dimensions_)
      if (key == k) {
        v = value;
        return;
      }
    dimensions_.emplace_back(k, value);
  }

  // The time step and print step as the parameter reader takes them: the last
  // line of each, the print step rounded once the section is read to whole
  // steps of the run's time step (print_step_of), at least one.
  void parameter_line(const wakro::FixedText<72>& line) override {
    const wakro::FixedText<72> k = wakro_firstwrd(line);
    const wakro::FixedText<72> v = wakro_rhs72str(line);
    if (k == "TIME_STEP" && !v.is_blank()) {
      if (wakro::list_read(v.view(), {step_}) != wakro::ReadStatus::ok) fail_update(false);
      step_text_ = std::string(trim(v.view()));
    } else if (k == "PRINT_STEP" && !v.is_blank()) {
      double print = 0.0;
      if (wakro::list_read(v.view(), {print}) != wakro::ReadStatus::ok) fail_update(false);
      print_ = print;
    } else if (k == "PRINT_DIMENSIONS" && wakro_firstwrd(v) == "YES") {
      options::prndim = true;
    }
  }

  void opening_read() override {
    merge_dimensions(dimensions_);
    if (!step_text_.empty() && !(std::abs(step_ - e_s1::delt) <= 1e-9 * e_s1::delt))
      refuse_text("WAKRO: Snapshot of another time step: the map file's TIME_STEP is " + step_text_, "UPDATE_MAP",
                  map_);
    if (print_) e_s1::print = wakro::print_step_of(*print_, e_s1::delt);
  }

  // Each list reader reads on to the next key, or reads its section's data
  // and is called again, as the case reader's dispatch does; the other
  // sections are passed over as their readers read them.
  void section(const wakro::FixedText<72>& key, wakro::PageContext& page) override {
    if (!wakro::read_output_list_section(key)) return CaseWalk::section(key, page);
    if (key == "DATAStruct:") described_ = true;
  }

  bool described() const { return described_; }

 private:
  std::string map_;
  std::vector<std::pair<wakro::FixedText<72>, std::int32_t>> dimensions_;
  double step_ = 0.0;  // the last TIME_STEP line's value, and its text (empty: none)
  std::string step_text_;
  std::optional<double> print_;  // the last PRINT_STEP line's value, as written
  bool described_ = false;
};

}  // namespace

// Ends the merge: what the map lacks, then the section skipper's end of file.
[[noreturn]] static void refuse_map(const std::string& text) {
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine, text);
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine, "Unexpected End_Of_File");
  wakro_quit("UPDATE_MAP", 1);
}

void update_from_map() {
  const std::string map_name = read_map_name();
  if (!map_is_there(map_name)) return;
  // The map of another case: nothing of it is merged.
  check_identity_against_map(map_name);
  MapMerge merge(map_name);
  // The channel lists and the output description are taken where they stand,
  // the map's last one of a kind. The lists are read even for a case without
  // channels: a map whose lists do not fit its channel count stops as it stops
  // a start from data. A map that a start from data refuses is refused here,
  // naming the map file, what it lacks and the line where its reading stopped.
  const wakro::WalkEnd end = wakro::walk_map_file(map_name, merge);
  if (!end.complete())
    refuse_map("The map file " + end.file + " " + std::string(end.lack) + " (line " + std::to_string(end.line) + ")");
  // A resumed case with channels takes its output description from the map
  // alone (a start from data may take it from its pages): a map whose lists
  // end without one stops with the section skipper's end of file, the line
  // before it saying which section the map lacks ("DATAStruct:" with a count
  // of 0 describes nothing).
  if (outppp::jplt > 0 && !merge.described()) {
    ListLine() << "NEXTKEY: Unexpected End_Of_File";
    refuse_map("The map file " + map_name + " has output channels but no \"DATAStruct:\" section, which a resumed "
               "run takes their description from");
  }
}

// ---------------------------------------------------------------- snapshot

namespace {

// The time step, the time and the step counter the parameters give agree with
// the header and with each other: a time that lies more than 0.5001 steps from
// the step counter's (the nearness by which a snapshot is taken at a step) is
// another step's, and a time step that differs is another run's.
void check_time_and_step(double header_time, double header_step) {
  const double dt = e_s1::delt;
  auto fmt = [](double v) { return std::string(trim(gedit(v, 24, 16, 3))); };
  if (!(std::abs(header_step - dt) <= 1e-9 * std::abs(dt)))
    refuse_text("WAKRO: Snapshot of another time step: TIME_STEP = " + fmt(dt) + ", header " + fmt(header_step));
  if (!(std::abs(header_time - e_s1::time) < 0.5001 * dt))
    refuse_text("WAKRO: Snapshot of another time: SNAP_TIME = " + fmt(e_s1::time) + ", header " + fmt(header_time));
  if (!(std::abs(static_cast<double>(snpdat::iiisnp) * dt - e_s1::time) < 0.5001 * dt))
    refuse_text("WAKRO: Snapshot step counter disagrees with its time: SNAP_IIISNP = " +
                std::to_string(snpdat::iiisnp) + ", SNAP_TIME = " + fmt(e_s1::time));
}

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

// Whether the snapshot's "PARAMETERS:" section turns MNA on, as the parameter
// reader will take it: the last "USE_MANA" line of YES or NO.
bool parameters_use_mana(const std::string& text) {
  bool on = false;
  bool in_section = false;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const wakro::FixedText<72> l(std::string_view(line).substr(0, 72));
    const wakro::FixedText<72> key = wakro_firstwrd(l);
    if (key.is_blank() || key.view().front() == '!') continue;
    if (key.trimmed().back() == ':') {
      if (in_section) break;
      in_section = key == "PARAMETERS:";
      continue;
    }
    if (!in_section || !(key == "USE_MANA")) continue;
    const wakro::FixedText<72> word = wakro_firstwrd(wakro_rhs72str(l));
    if (word == "YES" || word == "NO") on = word == "YES";
  }
  return on;
}

// While a resume allocates the arrays its snapshot's "DIMENSIONS:" rows size, a
// failure to allocate (a count too large for memory or for a size) names the
// snapshot after the allocator's own message.
wakro::RuntimeStopContext sized_by_snapshot() {
  return wakro::RuntimeStopContext("Snapshot file: " + snapshot_path() + " (its DIMENSIONS: rows size the arrays)");
}

}  // namespace

void wakro_readsnap() {
  using ndde::e_ndim;
  if (ctrl::firstrun) ListLine() << "Reading data for snap file: " + std::string(fnames::inam.view());
  wakro_snapfile(1);
  bool uses_mana = false;
  {
    std::ifstream file(snapshot_path(), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    remember_read_identity(identity_of_snapshot(text.str()));
    uses_mana = parameters_use_mana(text.str());
  }
  check_program_case();
  SnapIn in(fnames::iunit, &fail_snap);
  in.skip_comments();
  double header[3] = {0.0, 0.0, 0.0};  // version, time, time step
  in.read<double>(3, [&](std::int64_t k) -> double& { return header[k - 1]; });
  {
    const auto sized = sized_by_snapshot();
    wakro_rddim();
  }
  // MNA declarations are written only by a run with MNA on: without it they are
  // a damaged count (the parameter reader would take them for the case's).
  if (!uses_mana) check_count("NMANA", e_ndim(dim::nmana), 0);
  // The mode-domain lines are rows of the line directory, whose records the
  // state blocks read by these counts.
  check_count("TLINES", e_ndim(dim::tlines), e_ndim(dim::tlines_total));
  wakro_initialz();
  wakro_rdparm();
  restore_title_from_identity();
  check_time_and_step(header[1], header[2]);
  e_s5::jset = e_ndim(dim::trafos);
  e_s7::line = e_ndim(dim::tlines);
  // The parameter reader stopped at "END:"; "SUBSYSDIM:" follows.
  if (fnames::section == "END:") rdcmnt();
  if (!(fnames::section == "SUBSYSDIM:") || rdcmnt_at_data()) fail_snap(false);
  read_subsysdim(in);
  wakro_readstors();
  wakro_readmap();
  {
    const auto sized = sized_by_snapshot();
    initialize_mna_snap();
  }
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
  check_restored_state();
  // The ports of the ENI line ends are asked only of a snapshot whose
  // directory rows have passed their checks: a row's ENI role is one of them.
  eni_ports();
  // Factorised as at the start of a run: the index lists of the elimination
  // are made again from the fill pattern, not taken from the file (nor from an
  // earlier run of a multiple run).
  for (std::int32_t ss = 1; ss <= int2::nmat; ++ss) int2::ntriang(ss) = 0;
  wakro::factorise_as_read();
  while (fnames::iunit > wakro::kUnitBase) wakro_closefile();
}

