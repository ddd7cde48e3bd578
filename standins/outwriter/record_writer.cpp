// wakro_outwriter: an output-writer library that writes the record file as
// HDF5. It fills the handle records of output/record_handles.h.
//
// Layout of a file:
//   /                       the root call; attributes "Format" (text) and
//                           "Runs" (int, the highest run opened)
//   /<id>                   a child node: one group per call, trace and domain,
//                           named by its id in decimal (children keep their
//                           creation order); attribute "Id" (int) and the
//                           engine's "Name", "Description", "Source"
//   /<id>/.../run_<n>       the series of a trace or domain node in run n: a
//                           one-dimensional, growable dataset of doubles;
//                           attribute "Run" (int), "DomainSeries" (text, the
//                           path of the time series it shares, when it has one)
//                           and the engine's "DataName", "Component", "Group",
//                           "Unit", "Description", "Min", "Max"
//
// Opening: a file that another process holds (an exclusive flock) or that
// cannot be opened for writing gives kRecordNameInUse, so the engine tries the
// next name; a folder that does not exist gives kRecordNoFile; errno then says
// why (EWOULDBLOCK for a file held). A file this call made for a name it then
// gives up is removed again. The lock is held until the file is closed; where
// the file system offers no locks the file is written unguarded (the engine's
// lock file beside it says so). The file itself is closed when the last handle that
// uses it is closed, in whatever order the engine closes them. Closing a handle
// zeroes its record.
//
// Writing: appended values are kept and written, with the file's tree, at
// flushes: when the engine asks (Flush; it does so between output steps, so a
// flush holds whole steps), when the values kept reach 262144 (2 MiB) and when
// the file closes; the empty file is written when it opens. A flush has two
// stages. First the values go straight into their chunks (the datasets keep no
// chunk cache): new chunks past the file's end, and the free part of a series'
// last chunk, so nothing the last flush wrote is touched. Then the tree
// (object headers, chunk indexes, the superblock with the file's end) is
// written over its last version. Before each stage the file is grown by
// posix_fallocate to hold all that stage writes, so a full disk or a file-size
// limit is met there or among the values, before HDF5 writes the tree: the
// file is then cut back to the size of its last flush and stays as that flush
// left it, readable. A write that fails abandons the file: the reason (errno)
// is kept and returned with kRecordWriteFailed by every later operation, and
// HDF5 is never asked to write or close that file again, so it cannot
// overwrite the last good flush with a part of the next. The HDF5 library is
// told not to close files at the process exit for the same reason. Only a
// write of the tree that fails in spite of its reservation (a file system that
// cannot reserve space) leaves the tree half written: that failure is
// kRecordWriteTorn, the file may not open.
#include <fcntl.h>
#include <hdf5.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "output/record_handles.h"

namespace rec = wakro::record;

namespace {

constexpr hsize_t kChunk = 256;
constexpr std::size_t kKeptMost = 262144;  // values kept before a flush of the library's own
constexpr hsize_t kTreeMargin = 2048;       // HDF5's default block for small allocations

// Values appended to one dataset and not yet written. Every handle on the
// dataset shares it, so values from two handles keep their order. The file
// keeps it, with a reference of its own on the dataset, so a flush writes it
// whichever handles are open or closed.
struct Pending {
  hid_t dataset = -1;
  bool* abandoned = nullptr;  // the file's flag
  std::vector<double> values;
  ~Pending() {
    if (dataset >= 0 && !*abandoned) H5Idec_ref(dataset);
  }
};

struct FileState {
  hid_t file = -1;
  int lockFd = -1;
  int failure = 0;  // errno of the write that failed: the file is abandoned
  bool abandoned = false;
  bool torn = false;      // the failed write was one of the tree's: the file may not open
  off_t flushedSize = 0;  // the file's size after its last flush
  std::size_t kept = 0;  // values appended since the last flush
  std::map<std::string, std::shared_ptr<Pending>> pending;  // by dataset path
  ~FileState() {
    // An abandoned file is left as its last flush wrote it.
    pending.clear();
    if (file >= 0 && !abandoned) H5Fclose(file);
    if (lockFd >= 0) close(lockFd);  // releases the lock
  }
};
using FilePtr = std::shared_ptr<FileState>;

struct FileObj {
  FilePtr f;
};
struct NodeObj {
  FilePtr f;
  hid_t group = -1;
  ~NodeObj() {
    if (group >= 0 && !f->abandoned) H5Gclose(group);
  }
};
struct RunObj {
  FilePtr f;
  int number = 0;
};

// ---- Failures ------------------------------------------------------------------

// The errno that HDF5's file driver recorded on the error stack of the call that
// just failed ("..., errno = 28, error message = ..."); 0 when the failure was
// not the system's.
herr_t find_errno(unsigned, const H5E_error2_t* e, void* data) {
  const char* at = e != nullptr && e->desc != nullptr ? std::strstr(e->desc, "errno = ") : nullptr;
  int n = 0;
  if (at != nullptr && std::sscanf(at, "errno = %d", &n) == 1 && n > 0) {
    *static_cast<int*>(data) = n;
    return 1;
  }
  return 0;
}

int system_reason() {
  int n = 0;
  H5Ewalk2(H5E_DEFAULT, H5E_WALK_DOWNWARD, &find_errno, &n);
  return n;
}

// The reason of the last write call that failed, taken at once (the next
// HDF5 call clears the error stack).
int g_reason = 0;

// A write call's result, its failure's reason noted.
template <class T>
T noted(T result) {
  if (result < 0) g_reason = system_reason();
  return result;
}

// Abandons the file for the reason given (an errno value).
void abandon(FileState& s, int reason) {
  if (s.abandoned) return;
  s.abandoned = true;
  s.failure = reason > 0 ? reason : EIO;
}

// The result of an operation on an abandoned file.
int write_failed(const FileState& s) {
  errno = s.failure;
  return s.torn ? rec::kRecordWriteTorn : rec::kRecordWriteFailed;
}

// Abandons the file before its tree was written: the values written past its
// last flush are cut off, and it is left as that flush wrote it.
int abandon_flush(FileState& s, int reason) {
  abandon(s, reason);
  (void)ftruncate(s.lockFd, s.flushedSize);
  return write_failed(s);
}

// The result of an HDF5 call that failed: a write the system refused abandons
// the file; any other failure is the operation's own (1).
int failed_call(FileState& s) {
  const int reason = g_reason;
  g_reason = 0;
  if (reason == 0 && !s.abandoned) return 1;
  abandon(s, reason);
  return write_failed(s);
}

// ---- Flushing ------------------------------------------------------------------

// The values a dataset holds.
hsize_t extent(hid_t dataset) {
  const hid_t space = H5Dget_space(dataset);
  hsize_t size = 0;
  H5Sget_simple_extent_dims(space, &size, nullptr);
  H5Sclose(space);
  return size;
}

// The bytes of the chunks that the pending values of a dataset add to it.
hsize_t new_chunk_bytes(const Pending& p) {
  const hsize_t size = extent(p.dataset);
  const auto chunks = [](hsize_t n) { return (n + kChunk - 1) / kChunk; };
  return (chunks(size + p.values.size()) - chunks(size)) * kChunk * sizeof(double);
}

// Writes the pending values at the end of their dataset.
bool write_pending(hid_t dataset, Pending& p) {
  if (p.values.empty()) return true;
  const hsize_t size = extent(dataset);
  const hsize_t n = p.values.size();
  const hsize_t grown = size + n;
  if (noted(H5Dset_extent(dataset, &grown)) < 0) return false;
  const hid_t space = H5Dget_space(dataset);
  H5Sselect_hyperslab(space, H5S_SELECT_SET, &size, nullptr, &n, nullptr);
  const hid_t memory = H5Screate_simple(1, &n, nullptr);
  const herr_t e = noted(H5Dwrite(dataset, H5T_NATIVE_DOUBLE, memory, space, H5P_DEFAULT, p.values.data()));
  H5Sclose(memory);
  H5Sclose(space);
  p.values.clear();
  return e >= 0;
}

// Grows the file to `size` bytes; 0 or the system's reason (0 as well where
// the file system cannot reserve space: HDF5 then meets any failure itself).
int grow(const FileState& s, hsize_t size) {
  const int e = posix_fallocate(s.lockFd, 0, static_cast<off_t>(size));
  return e == EOPNOTSUPP || e == EINVAL ? 0 : e;
}

// Reserves `bytes` beyond the file's allocated end; 0 or the system's reason.
int reserve(const FileState& s, hsize_t bytes) {
  haddr_t eoa = 0;
  if (H5Fget_eoa(s.file, &eoa) < 0) return EIO;
  return grow(s, eoa + bytes);
}

// Cuts the space reserved and left unused after the file's allocated end.
void trim(FileState& s) {
  haddr_t eoa = 0;
  struct stat st;
  if (H5Fget_eoa(s.file, &eoa) >= 0 && fstat(s.lockFd, &st) == 0 && static_cast<haddr_t>(st.st_size) > eoa)
    (void)ftruncate(s.lockFd, static_cast<off_t>(eoa));
  if (fstat(s.lockFd, &st) == 0) s.flushedSize = st.st_size;
}

// Writes every value kept and the file's tree; 0, or the failure's result.
int flush_file(FileState& s) {
  if (s.abandoned) return write_failed(s);
  hsize_t bytes = 0;
  for (const auto& [path, p] : s.pending) bytes += new_chunk_bytes(*p);
  // 1. The values: the new chunks of each series. The chunk indexes may take
  //    room beyond them, but only the tree's stage writes it.
  if (const int e = reserve(s, bytes); e != 0) return abandon_flush(s, e);
  for (const auto& [path, p] : s.pending)
    if (!write_pending(p->dataset, *p)) {
      const int reason = g_reason;
      g_reason = 0;
      return reason != 0 ? abandon_flush(s, reason) : failed_call(s);
    }
  // 2. The tree: HDF5 gave its objects their room when it made them, so it is
  //    written within the file's allocated end and a block HDF5 may still take.
  if (const int e = reserve(s, kTreeMargin); e != 0) return abandon_flush(s, e);
  if (H5Fflush(s.file, H5F_SCOPE_LOCAL) < 0) {
    abandon(s, system_reason());  // a flush that fails is always a write that failed
    s.torn = true;
    return write_failed(s);
  }
  trim(s);
  s.kept = 0;
  // Datasets no handle uses any more are let go.
  std::erase_if(s.pending, [](const auto& entry) { return entry.second.use_count() == 1; });
  return 0;
}

// Access to a series without a chunk cache, so that its values go to the file
// when they are written (see flush_file).
hid_t series_access() {
  const hid_t dapl = H5Pcreate(H5P_DATASET_ACCESS);
  H5Pset_chunk_cache(dapl, 0, 0, 1.0);
  return dapl;
}

hid_t open_series(hid_t location, const char* name) {
  const hid_t dapl = series_access();
  const hid_t d = H5Dopen2(location, name, dapl);
  H5Pclose(dapl);
  return d;
}

struct SeriesObj {
  FilePtr f;
  hid_t dataset = -1;
  int run = 0;
  std::shared_ptr<Pending> pending;
  SeriesObj(FilePtr file, hid_t d, int r) : f(std::move(file)), dataset(d), run(r) {
    char path[1024] = {};
    H5Iget_name(d, path, sizeof path);
    std::shared_ptr<Pending>& slot = f->pending[path];
    pending = slot;
    if (pending == nullptr) {
      pending = std::make_shared<Pending>();
      pending->dataset = d;
      pending->abandoned = &f->abandoned;
      H5Iinc_ref(d);
      slot = pending;
    }
  }
  // Closes the handle (what it appended is written at the file's next flush).
  int close() {
    if (dataset >= 0 && !f->abandoned) H5Dclose(dataset);
    dataset = -1;
    return f->abandoned ? write_failed(*f) : 0;
  }
  ~SeriesObj() {
    if (dataset >= 0) (void)close();
  }
  SeriesObj(const SeriesObj&) = delete;
  SeriesObj& operator=(const SeriesObj&) = delete;
};
struct AttrObj {
  FilePtr f;
  hid_t object = -1;  // a group or dataset; one reference of our own
  ~AttrObj() {
    if (object >= 0 && !f->abandoned) H5Idec_ref(object);
  }
};

template <class T, class Record>
T* obj(Record* r) {
  return r != nullptr ? reinterpret_cast<T*>(r->handle) : nullptr;
}

template <class Record>
void zero(Record* r) {
  std::memset(static_cast<void*>(r), 0, sizeof *r);
}

// ---- Attributes --------------------------------------------------------------

bool write_attribute(hid_t object, const char* name, hid_t type, const void* value) {
  if (H5Aexists(object, name) > 0) noted(H5Adelete(object, name));
  const hid_t space = H5Screate(H5S_SCALAR);
  const hid_t a = noted(H5Acreate2(object, name, type, space, H5P_DEFAULT, H5P_DEFAULT));
  const bool ok = a >= 0 && noted(H5Awrite(a, type, value)) >= 0;
  if (a >= 0) H5Aclose(a);
  H5Sclose(space);
  return ok;
}

bool write_text(hid_t object, const char* name, const char* text, std::size_t withNul) {
  const hid_t type = H5Tcopy(H5T_C_S1);
  std::vector<char> copy(withNul > 0 ? withNul : 1, '\0');
  if (withNul > 0) std::memcpy(copy.data(), text, withNul - 1);
  H5Tset_size(type, copy.size());
  H5Tset_strpad(type, H5T_STR_NULLTERM);
  const bool ok = write_attribute(object, name, type, copy.data());
  H5Tclose(type);
  return ok;
}

bool write_int(hid_t object, const char* name, int value) {
  return write_attribute(object, name, H5T_NATIVE_INT, &value);
}

// A text attribute into buffer (size bytes, NUL-terminated, cut to fit).
bool read_text(hid_t object, const char* name, char* buffer, int size) {
  if (size < 1 || H5Aexists(object, name) <= 0) return false;
  const hid_t a = H5Aopen(object, name, H5P_DEFAULT);
  if (a < 0) return false;
  const hid_t stored = H5Aget_type(a);
  bool ok = H5Tget_class(stored) == H5T_STRING && H5Tis_variable_str(stored) <= 0;
  if (ok) {
    std::vector<char> text(H5Tget_size(stored) + 1, '\0');
    ok = H5Aread(a, stored, text.data()) >= 0;
    const std::size_t n = std::min(std::strlen(text.data()), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
  }
  H5Tclose(stored);
  H5Aclose(a);
  return ok;
}

int attr_get(rec::Attributes* r, const char* name, void* buffer, int size, int, int type) {
  AttrObj* a = obj<AttrObj>(r);
  if (a == nullptr || name == nullptr || buffer == nullptr) return 1;
  if (type == rec::kRecordText) return read_text(a->object, name, static_cast<char*>(buffer), size) ? 0 : 1;
  if (type == rec::kRecordDouble && size >= 8 && H5Aexists(a->object, name) > 0) {
    const hid_t at = H5Aopen(a->object, name, H5P_DEFAULT);
    const bool ok = at >= 0 && H5Aread(at, H5T_NATIVE_DOUBLE, buffer) >= 0;
    if (at >= 0) H5Aclose(at);
    return ok ? 0 : 1;
  }
  return 1;
}

int attr_set(rec::Attributes* r, const char* name, const void* value, int length, int, int type) {
  AttrObj* a = obj<AttrObj>(r);
  if (a == nullptr || name == nullptr || value == nullptr) return 1;
  if (a->f->abandoned) return write_failed(*a->f);
  if (type == rec::kRecordText) {
    const char* text = static_cast<const char*>(value);
    const std::size_t n = length > 0 ? strnlen(text, static_cast<std::size_t>(length)) + 1 : 1;
    return write_text(a->object, name, text, n) ? 0 : failed_call(*a->f);
  }
  if (type == rec::kRecordDouble && length == 8)
    return write_attribute(a->object, name, H5T_NATIVE_DOUBLE, value) ? 0 : failed_call(*a->f);
  return 1;
}

int attr_close(rec::Attributes* r) {
  delete obj<AttrObj>(r);
  zero(r);
  return 0;
}

int open_attributes(const FilePtr& f, hid_t object, rec::Attributes* r) {
  if (r == nullptr || object < 0) return 1;
  zero(r);
  H5Iinc_ref(object);
  r->handle = reinterpret_cast<rec::Value>(new AttrObj{f, object});
  r->GetAttribute = &attr_get;
  r->SetAttribute = &attr_set;
  r->CloseAttributes = &attr_close;
  return 0;
}

// ---- Series --------------------------------------------------------------------

void fill_series(rec::Series* r, SeriesObj* s);

int series_attributes(rec::Series* r, rec::Attributes* a) {
  SeriesObj* s = obj<SeriesObj>(r);
  return s == nullptr ? 1 : open_attributes(s->f, s->dataset, a);
}

int series_domain(rec::Series* r, rec::Series* domain) {
  SeriesObj* s = obj<SeriesObj>(r);
  if (s == nullptr || domain == nullptr) return 1;
  char path[1024] = {};
  if (!read_text(s->dataset, "DomainSeries", path, sizeof path)) return 1;
  const hid_t d = open_series(s->f->file, path);
  if (d < 0) return 1;
  if (domain->handle != 0 && domain->CloseSeries != nullptr) domain->CloseSeries(domain);
  fill_series(domain, new SeriesObj(s->f, d, s->run));
  return 0;
}

int series_in_run(rec::Series* r, rec::Run* run, int* flag) {
  SeriesObj* s = obj<SeriesObj>(r);
  RunObj* n = obj<RunObj>(run);
  if (flag == nullptr) return 1;
  *flag = s != nullptr && n != nullptr && s->run == n->number ? 1 : 0;
  return 0;
}

// Appends one double; the values are kept and written at the file's flushes.
int series_append(rec::Series* r, const void* value, int length, int, int type) {
  SeriesObj* s = obj<SeriesObj>(r);
  if (s == nullptr || value == nullptr || length != 8 || type != rec::kRecordDouble) return 1;
  FileState& f = *s->f;
  if (f.abandoned) return write_failed(f);
  double x = 0.0;
  std::memcpy(&x, value, sizeof x);
  s->pending->values.push_back(x);
  return ++f.kept < kKeptMost ? 0 : flush_file(f);
}

int series_close(rec::Series* r) {
  SeriesObj* s = obj<SeriesObj>(r);
  const int result = s != nullptr ? s->close() : 0;
  delete s;
  zero(r);
  return result;
}

void fill_series(rec::Series* r, SeriesObj* s) {
  zero(r);
  r->handle = reinterpret_cast<rec::Value>(s);
  r->OpenAttributes = &series_attributes;
  r->GetDomain = &series_domain;
  r->IsInRun = &series_in_run;
  r->AppendValue = &series_append;
  r->CloseSeries = &series_close;
}

// ---- Nodes ---------------------------------------------------------------------

void fill_call(rec::Call* r, NodeObj* n);

hid_t group_properties() {
  const hid_t p = H5Pcreate(H5P_GROUP_CREATE);
  H5Pset_link_creation_order(p, H5P_CRT_ORDER_TRACKED | H5P_CRT_ORDER_INDEXED);
  return p;
}

int call_attributes(rec::Call* r, rec::Attributes* a) {
  NodeObj* n = obj<NodeObj>(r);
  return n == nullptr ? 1 : open_attributes(n->f, n->group, a);
}

int call_count(rec::Call* r, int* count) {
  NodeObj* n = obj<NodeObj>(r);
  H5G_info_t info;
  if (n == nullptr || count == nullptr || H5Gget_info(n->group, &info) < 0) return 1;
  *count = info.nlinks > static_cast<hsize_t>(INT_MAX) ? INT_MAX : static_cast<int>(info.nlinks);
  return 0;
}

int open_child(NodeObj* n, const char* name, rec::Call* child) {
  if (child == nullptr || H5Lexists(n->group, name, H5P_DEFAULT) <= 0) return 1;
  const hid_t g = H5Gopen2(n->group, name, H5P_DEFAULT);  // a series dataset is no child
  if (g < 0) return 1;
  fill_call(child, new NodeObj{n->f, g});
  return 0;
}

int call_child_at(rec::Call* r, int position, rec::Call* child) {
  NodeObj* n = obj<NodeObj>(r);
  if (n == nullptr || position < 0) return 1;
  char name[64] = {};
  if (H5Lget_name_by_idx(n->group, ".", H5_INDEX_CRT_ORDER, H5_ITER_INC, static_cast<hsize_t>(position), name,
                         sizeof name, H5P_DEFAULT) < 0)
    return 1;
  return open_child(n, name, child);
}

int call_child_by_id(rec::Call* r, int id, rec::Call* child) {
  NodeObj* n = obj<NodeObj>(r);
  if (n == nullptr) return 1;
  return open_child(n, std::to_string(id).c_str(), child);
}

int call_create(rec::Call* r, int id, rec::Call* child) {
  NodeObj* n = obj<NodeObj>(r);
  if (n == nullptr || child == nullptr) return 1;
  if (n->f->abandoned) return write_failed(*n->f);
  const std::string name = std::to_string(id);
  if (H5Lexists(n->group, name.c_str(), H5P_DEFAULT) > 0) return 1;  // ids are unique among siblings
  const hid_t p = group_properties();
  const hid_t g = noted(H5Gcreate2(n->group, name.c_str(), H5P_DEFAULT, p, H5P_DEFAULT));
  H5Pclose(p);
  if (g < 0) return failed_call(*n->f);
  fill_call(child, new NodeObj{n->f, g});
  if (!write_int(g, "Id", id) && failed_call(*n->f) != 1) return write_failed(*n->f);
  return 0;
}

int call_close(rec::Call* r) {
  delete obj<NodeObj>(r);
  zero(r);
  return 0;
}

void fill_call(rec::Call* r, NodeObj* n) {
  zero(r);
  r->handle = reinterpret_cast<rec::Value>(n);
  r->OpenAttributes = &call_attributes;
  r->GetChildCount = &call_count;
  r->GetChildAt = &call_child_at;
  r->GetChildById = &call_child_by_id;
  r->CreateChild = &call_create;
  r->CreateSeriesChild = &call_create;  // a series node is a group holding its runs' datasets
  r->CloseCall = &call_close;
}

// ---- Runs ----------------------------------------------------------------------

std::string run_name(int run) { return "run_" + std::to_string(run); }

int run_find(rec::Run* r, rec::Call* node, rec::Series* series) {
  RunObj* run = obj<RunObj>(r);
  NodeObj* n = obj<NodeObj>(node);
  if (run == nullptr || n == nullptr || series == nullptr) return 1;
  const std::string name = run_name(run->number);
  if (H5Lexists(n->group, name.c_str(), H5P_DEFAULT) <= 0) return 1;
  const hid_t d = open_series(n->group, name.c_str());
  if (d < 0) return 1;
  fill_series(series, new SeriesObj(run->f, d, run->number));
  return 0;
}

int run_create(rec::Run* r, rec::Call* node, int type, rec::Series* domain, rec::Series* series) {
  RunObj* run = obj<RunObj>(r);
  NodeObj* n = obj<NodeObj>(node);
  if (run == nullptr || n == nullptr || series == nullptr || type != rec::kRecordDouble) return 1;
  if (run->f->abandoned) return write_failed(*run->f);
  const std::string name = run_name(run->number);
  const bool replaced = H5Lexists(n->group, name.c_str(), H5P_DEFAULT) > 0;
  if (replaced) noted(H5Ldelete(n->group, name.c_str(), H5P_DEFAULT));
  const hsize_t start = 0, limit = H5S_UNLIMITED;
  const hid_t space = H5Screate_simple(1, &start, &limit);
  const hid_t p = H5Pcreate(H5P_DATASET_CREATE);
  H5Pset_chunk(p, 1, &kChunk);
  const hid_t dapl = series_access();
  const hid_t d = noted(H5Dcreate2(n->group, name.c_str(), H5T_IEEE_F64LE, space, H5P_DEFAULT, p, dapl));
  H5Pclose(dapl);
  H5Pclose(p);
  H5Sclose(space);
  if (d < 0) return failed_call(*run->f);
  if (replaced) {  // values kept for the series replaced are dropped with it
    char path[1024] = {};
    H5Iget_name(d, path, sizeof path);
    run->f->pending.erase(path);
  }
  fill_series(series, new SeriesObj(run->f, d, run->number));
  bool ok = write_int(d, "Run", run->number);
  if (SeriesObj* axis = obj<SeriesObj>(domain); axis != nullptr && ok) {
    char path[1024] = {};
    if (H5Iget_name(axis->dataset, path, sizeof path) > 0)
      ok = write_text(d, "DomainSeries", path, std::strlen(path) + 1);
  }
  if (!ok && failed_call(*run->f) != 1) return write_failed(*run->f);
  return 0;
}

int run_close(rec::Run* r) {
  delete obj<RunObj>(r);
  zero(r);
  return 0;
}

// ---- The file ------------------------------------------------------------------

int file_open_run(rec::File* r, int number, rec::Run* run) {
  FileObj* f = obj<FileObj>(r);
  if (f == nullptr || run == nullptr || number < 1) return 1;
  if (f->f->abandoned) return write_failed(*f->f);
  zero(run);
  run->handle = reinterpret_cast<rec::Value>(new RunObj{f->f, number});
  run->FindSeries = &run_find;
  run->CreateSeries = &run_create;
  run->CloseRun = &run_close;
  const hid_t root = H5Gopen2(f->f->file, "/", H5P_DEFAULT);
  int runs = 0;
  if (H5Aexists(root, "Runs") > 0) {
    const hid_t a = H5Aopen(root, "Runs", H5P_DEFAULT);
    H5Aread(a, H5T_NATIVE_INT, &runs);
    H5Aclose(a);
  }
  const bool ok = number <= runs || write_int(root, "Runs", number);
  const int result = ok ? 0 : failed_call(*f->f);
  if (!f->f->abandoned) H5Gclose(root);
  return result == 1 ? 0 : result;
}

int file_open_root(rec::File* r, rec::Call* root) {
  FileObj* f = obj<FileObj>(r);
  if (f == nullptr || root == nullptr) return 1;
  const hid_t g = H5Gopen2(f->f->file, "/", H5P_DEFAULT);
  if (g < 0) return 1;
  fill_call(root, new NodeObj{f->f, g});
  return 0;
}

int file_flush(rec::File* r) {
  FileObj* f = obj<FileObj>(r);
  return f == nullptr ? 1 : flush_file(*f->f);
}

// Writes what is kept; the file closes when its last handle does.
int file_close(rec::File* r) {
  FileObj* f = obj<FileObj>(r);
  const int result = f != nullptr ? flush_file(*f->f) : 0;
  delete f;
  zero(r);
  return result;
}

// flock's answers that say the file system offers no locks at all (the
// engine's output lock reads the same ones so; this library includes none of
// the engine's sources). The operation asked is valid, so EINVAL too is the
// file system refusing locks.
bool no_locks_here(int error) {
  return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
}

int open_file(const char* path, rec::File* file) {
  if (path == nullptr || *path == '\0' || file == nullptr) return rec::kRecordNoFile;
  // Before any other call: an abandoned file must not be flushed at the exit.
  (void)H5dont_atexit();
  H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);  // failures are answered by results

  // 1. Take the name: a file held by another writer, or one we may not write,
  //    leaves the name to its owner.
  //    Made here (O_EXCL) or found: only a file made here is removed again.
  int fd = open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  const bool existed = fd < 0 && errno == EEXIST;
  if (existed) fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return existed ? rec::kRecordNameInUse : rec::kRecordNoFile;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 && !no_locks_here(errno)) {
    const int reason = errno;
    close(fd);
    if (!existed) unlink(path);
    errno = reason;
    return rec::kRecordNameInUse;
  }

  // 2. Create the HDF5 file; our own lock stands for HDF5's.
  auto state = std::make_shared<FileState>();
  state->lockFd = fd;
  const hid_t fcpl = H5Pcreate(H5P_FILE_CREATE);
  H5Pset_link_creation_order(fcpl, H5P_CRT_ORDER_TRACKED | H5P_CRT_ORDER_INDEXED);
  const hid_t fapl = H5Pcreate(H5P_FILE_ACCESS);
#if H5_VERSION_GE(1, 10, 7)
  H5Pset_file_locking(fapl, 0, 1);
#endif
  state->file = noted(H5Fcreate(path, H5F_ACC_TRUNC, fcpl, fapl));
  H5Pclose(fapl);
  H5Pclose(fcpl);
  if (state->file < 0) {
    if (!existed) unlink(path);
    const int reason = g_reason;
    g_reason = 0;
    // A system reason means the system refused to write it (a full disk, a
    // file-size limit); 0, that HDF5 gave none.
    errno = reason;
    return reason == 0 ? rec::kRecordNoFile : rec::kRecordWriteFailed;
  }
  const char format[] = "Wakro output record file";
  write_text(state->file, "Format", format, sizeof format);
  // The empty file is written at once, so that a run refused before its first
  // values still leaves a file that opens; one that cannot be is not left.
  if (flush_file(*state) != 0) {
    if (!existed) unlink(path);
    errno = state->failure != 0 ? state->failure : EIO;
    return rec::kRecordWriteFailed;
  }

  // 3. The handle record.
  zero(file);
  file->handle = reinterpret_cast<rec::Value>(new FileObj{state});
  file->Flush = &file_flush;
  file->OpenRun = &file_open_run;
  file->OpenRoot = &file_open_root;
  file->CloseFile = &file_close;
  return 0;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int OpenRecordFileHandleA(const char* path, unsigned /*mode*/,
                                                                 rec::CreationStats* /*stats*/, rec::File* file) {
  return open_file(path, file);
}

__attribute__((visibility("default"))) int OpenRecordFileHandleW(const wchar_t* path, unsigned mode,
                                                                 rec::CreationStats* stats, rec::File* file) {
  if (path == nullptr) return rec::kRecordNoFile;
  std::mbstate_t state{};
  const wchar_t* source = path;
  const std::size_t n = std::wcsrtombs(nullptr, &source, 0, &state);
  if (n == static_cast<std::size_t>(-1)) return rec::kRecordNoFile;
  std::string narrow(n, '\0');
  source = path;
  state = std::mbstate_t{};
  std::wcsrtombs(narrow.data(), &source, n, &state);
  return OpenRecordFileHandleA(narrow.c_str(), mode, stats, file);
}

}  // extern "C"
