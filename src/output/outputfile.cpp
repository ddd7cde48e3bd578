// OutputFile: builds the record file's tree and series through the handle
// records of the output-writer library (see outputfile.h and record_handles.h).
//
// A failure of the library is silent here (an operation returns false or does
// nothing and the run goes on) unless the library could not write the file
// (kRecordWriteFailed): then the run stops at once with one message naming the
// file, the simulation time and the system's reason (tag "OUTPUTFILE"), and the
// library leaves the file as its last flush wrote it (or returns
// kRecordWriteTorn: it could not, and the message says the file may not be
// readable). The file is flushed at the end of every run, so the end report never names a file that was not written,
// and between output steps after a number of values (see addDatum).
// The other exceptions are this engine's guards, each said once on the console:
// a channel index above the channel count and a run change that fails. A
// description line with a malformed number is bad input: the run ends with a
// message naming the line (tag "DATASTRUCT").
#include "output/outputfile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

#include "diag/listout.h"
#include "diag/quit.h"
#include "files/textfile.h"
#include "model/outppp.h"
#include "output/channel_files.h"
#include "output/datafile.h"
#include "output/record_bindings.h"

namespace rec = wakro::record;

OutputFile* OutputFile::pOutputFile = nullptr;

namespace {

constexpr std::int32_t kMainDomainBase = 1048576;
constexpr std::int32_t kGraphicsTraceBase = 2097152;
constexpr int kMaxNames = 1000;     // base.qbout, base_1.qbout ... base_999.qbout
constexpr std::size_t kLineMax = 512;
constexpr unsigned kOpenMode = 3;
constexpr std::size_t kLargestFlush = 65536;  // the flush interval doubles up to this

std::string g_writerPath;
std::string g_failure;
bool g_attempted = false;

// A write the library could not make: the system's reason (errno; 0 while
// none), whether it was said, and the simulation time of the last value handed
// on (the time the failure is reported at).
int g_writeReason = 0;
bool g_writeReported = false;
bool g_writeTorn = false;  // the library left the file half written
double g_writeTime = 0.0;
// The time of the last values of the last flush that succeeded (< 0: none).
double g_flushedTime = -1.0;

// The result of a library operation that writes, its failure noted.
int noted(int result) {
  if (result == rec::kRecordWriteTorn) {
    g_writeTorn = true;
    result = rec::kRecordWriteFailed;
  }
  if (result == rec::kRecordWriteFailed && g_writeReason == 0) g_writeReason = errno != 0 ? errno : EIO;
  return result;
}

// The one message of a write that failed.
void report_write_failure(const std::string& path) {
  g_writeReported = true;
  wakro::ListLine() << "ERROR: The output record file " + path + " cannot be written at time " +
                           wakro::output_time_text(g_writeTime) + " s: " + wakro::system_reason(g_writeReason) +
                           (g_writeTorn           ? std::string("; it was left half written and may not be readable.")
                            : g_flushedTime < 0.0 ? std::string("; no values were written to it.")
                                                : "; it holds the values up to time " + wakro::output_time_text(g_flushedTime) +
                                                      " s.");
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// A text cut to the longest name the file keeps.
std::string kept(const char* s) {
  std::string t = s != nullptr ? s : "";
  if (t.size() > wakro::kRecordNameMax) t.resize(wakro::kRecordNameMax);
  return t;
}

template <class Record>
void zero(Record& r) {
  std::memset(static_cast<void*>(&r), 0, sizeof r);
}

// One text attribute; the length counts the NUL.
void set_text(rec::Attributes& a, const char* name, const std::string& value) {
  if (a.SetAttribute != nullptr)
    (void)noted(a.SetAttribute(&a, name, value.c_str(), static_cast<int>(value.size() + 1), 0, rec::kRecordText));
}
void set_double(rec::Attributes& a, const char* name, double value) {
  if (a.SetAttribute != nullptr) (void)noted(a.SetAttribute(&a, name, &value, 8, 0, rec::kRecordDouble));
}
void close_attributes(rec::Attributes& a) {
  if (a.handle != 0 && a.CloseAttributes != nullptr) (void)a.CloseAttributes(&a);
  zero(a);
}

void close_series(rec::Series& s) {
  if (s.handle != 0 && s.CloseSeries != nullptr) (void)noted(s.CloseSeries(&s));
  zero(s);
}

// Reads the text attribute `attribute` of an attribute block opened by `open`
// and compares it with `name`.
template <class Owner>
bool has_name(Owner& owner, const char* attribute, const char* name) {
  if (owner.handle == 0 || owner.OpenAttributes == nullptr) return false;
  rec::Attributes a{};
  if (owner.OpenAttributes(&owner, &a) != 0) return false;
  char buffer[wakro::kRecordNameMax + 1] = {};
  bool ok = a.GetAttribute != nullptr &&
            a.GetAttribute(&a, attribute, buffer, sizeof buffer, 0, rec::kRecordText) == 0;
  close_attributes(a);
  buffer[sizeof buffer - 1] = '\0';
  return ok && kept(name) == buffer;
}

// Writes the name, description and source (none when null) of a node just
// created.
void write_call_attributes(OutputFile::Call& c, const char* name, const char* description, const char* source) {
  if (c.OpenAttributes == nullptr) return;
  rec::Attributes a{};
  if (c.OpenAttributes(&c, &a) != 0) return;
  set_text(a, "Name", kept(name));
  set_text(a, "Description", kept(description));
  if (source != nullptr) set_text(a, "Source", kept(source));
  close_attributes(a);
}

// Trims a blank-padded field of `length` characters into a string of at most
// `keep` characters.
std::string trimmed(const char* field, std::size_t length, std::size_t keep) {
  std::string target(keep + 1, '\0');
  OutputFile_TrimField(field, length, target.data(), keep);
  target.resize(std::strlen(target.c_str()));
  return target;
}

std::string domain_name(const std::string& dataName) {
  std::string n = dataName + ":Domain";
  if (n.size() > 63) n.resize(63);
  return n;
}

std::string absolute_name(const std::string& name) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(name, ec);
  return ec ? name : p.string();
}

}  // namespace

// ---- Text helpers --------------------------------------------------------

void OutputFile_TrimField(const char* source, std::size_t sourceLength, char* target, std::size_t targetSize) {
  std::memset(target, 0, targetSize + 1);
  if (source == nullptr) return;
  std::size_t first = 0;
  while (first < sourceLength && (is_space(source[first]) || source[first] == '\0')) ++first;
  if (first == sourceLength) return;
  std::size_t last = sourceLength - 1;
  while (last > first && (is_space(source[last]) || source[last] == '\0')) --last;
  const std::size_t n = std::min(last - first + 1, targetSize);
  std::memcpy(target, source + first, n);
}

// Tokens are separated by white space; a double quote switches quoting (white
// space inside quotes belongs to the token) and is not stored; a backslash
// takes the next character literally; characters past size - 1 are dropped.
void OutputFile_adv_tok(const char* line, char* destination, std::size_t size, std::size_t& position) {
  const std::size_t end = std::strlen(line);
  while (position < end && is_space(line[position])) ++position;
  std::memset(destination, 0, size);
  std::size_t stored = 0;
  bool quoted = false;
  const auto store = [&](char c) {
    if (stored + 1 < size) destination[stored++] = c;
  };
  while (position < end) {
    const char c = line[position];
    if (is_space(c) && !quoted) break;
    ++position;
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '\\') {
      if (position >= end) break;
      store(line[position++]);
    } else {
      store(c);
    }
  }
  while (position < end && is_space(line[position])) ++position;
}

// ---- Call ------------------------------------------------------------------

OutputFile::Call::Call() { zero(static_cast<rec::Call&>(*this)); }
OutputFile::Call::~Call() { close(); }

void OutputFile::Call::close() {
  if (handle != 0 && CloseCall != nullptr) (void)CloseCall(this);
  zero(static_cast<rec::Call&>(*this));
}

bool OutputFile::Call::add(int id, const char* name, const char* description, const char* source, Call& child,
                           bool replace) {
  if (CreateChild == nullptr) return false;
  if (child.isValid()) {
    if (!replace) return false;
    child.close();
  }
  if (noted(CreateChild(this, id, &child)) != 0) return false;
  write_call_attributes(child, name, description, source);
  return true;
}

bool OutputFile::Call::addIfNotExist(int id, const char* name, const char* description, const char* source,
                                     Call& child) {
  if (GetChildById == nullptr) return false;
  child.close();
  if (GetChildById(this, id, &child) == 0) return true;
  child.close();
  if (CreateChild == nullptr || noted(CreateChild(this, id, &child)) != 0) return false;
  write_call_attributes(child, name, description, source);
  return true;
}

bool OutputFile::Call::fetch(int id, Call& child, bool replace) {
  if (GetChildById == nullptr) return false;
  if (child.isValid()) {
    if (!replace) return false;
    child.close();
  }
  return GetChildById(this, id, &child) == 0;
}

bool OutputFile::Call::get(int position, Call& child, bool replace) {
  if (GetChildAt == nullptr) return false;
  if (child.isValid()) {
    if (!replace) return false;
    child.close();
  }
  return GetChildAt(this, position, &child) == 0;
}

int OutputFile::Call::getCount() {
  if (GetChildCount == nullptr) return -1;
  int n = 0;
  return GetChildCount(this, &n) == 0 ? n : -1;
}

bool OutputFile::Call::is(const char* name) { return has_name(*this, "Name", name); }

bool OutputFile::Call::getTrace(rec::Run& run, Trace& trace, bool replace) {
  if (run.FindSeries == nullptr) return false;
  if (trace.isValid()) {
    if (!replace) return false;
    trace.closeSeries();
  }
  return run.FindSeries(&run, this, &trace.series) == 0;
}

bool OutputFile::Call::findTrace(rec::Run& run, const char* name, Trace& trace) {
  const int n = getCount();
  Call child;
  for (int k = 0; k < n; ++k) {
    if (!get(k, child, true)) continue;
    if (child.is(name) && child.getTrace(run, trace, true)) return true;
  }
  return false;
}

bool OutputFile::Call::addTrace(rec::Run& run, Trace& trace, bool replace) {
  if (CreateSeriesChild == nullptr) return false;
  if (trace.isValid()) {
    if (!replace) return false;
    trace.closeSeries();
  }
  trace.call.close();
  if (noted(CreateSeriesChild(this, trace.id, &trace.call)) != 0) return false;
  write_call_attributes(trace.call, trace.dataName.c_str(), trace.description.c_str(), "Trace");
  return trace.setRun(run);
}

bool OutputFile::Call::addDomain(rec::Run& run, Domain& domain, bool replace) {
  if (CreateSeriesChild == nullptr) return false;
  if (domain.isValid()) {
    if (!replace) return false;
    domain.closeSeries();
  }
  domain.call.close();
  if (noted(CreateSeriesChild(this, domain.id, &domain.call)) != 0) return false;
  write_call_attributes(domain.call, domain.name.c_str(), domain.name.c_str(), nullptr);
  return domain.setRun(run);
}

// ---- Run -------------------------------------------------------------------

OutputFile::Run::Run() { zero(static_cast<rec::Run&>(*this)); }
OutputFile::Run::~Run() { close(); }

void OutputFile::Run::close() {
  if (handle != 0 && CloseRun != nullptr) (void)CloseRun(this);
  zero(static_cast<rec::Run&>(*this));
}

// ---- Domain ----------------------------------------------------------------

OutputFile::Domain::Domain() = default;
OutputFile::Domain::Domain(std::int32_t id_, const char* name_, const char* unit_)
    : id(id_), name(kept(name_)), unit(kept(unit_)) {}
OutputFile::Domain::~Domain() { closeSeries(); }

void OutputFile::Domain::closeSeries() { close_series(series); }

bool OutputFile::Domain::setRun(rec::Run& run) {
  if (series.handle != 0 && series.IsInRun != nullptr) {
    int flag = 0;
    (void)series.IsInRun(&series, &run, &flag);
    if (flag != 0) return true;
  }
  closeSeries();
  if (run.CreateSeries == nullptr || noted(run.CreateSeries(&run, &call, rec::kRecordDouble, nullptr, &series)) != 0)
    return false;
  if (series.OpenAttributes != nullptr) {
    rec::Attributes a{};
    if (series.OpenAttributes(&series, &a) == 0) {
      set_text(a, "Name", "Domain");
      set_text(a, "DataName", name);
      set_text(a, "Unit", unit);
      set_text(a, "Group", "Domain");
      set_text(a, "Description", "Domain");
      set_text(a, "Component", "Domain");
      close_attributes(a);
    }
  }
  lastTime = -1.0;
  return true;
}

bool OutputFile::Domain::write(double time) {
  if (time == lastTime || series.AppendValue == nullptr) return false;
  if (noted(series.AppendValue(&series, &time, 8, 0, rec::kRecordDouble)) != 0) return false;
  lastTime = time;
  return true;
}

// ---- Trace -----------------------------------------------------------------

OutputFile::Trace::Trace(std::int32_t id_, const char* component_, const char* dataName_, const char* group_,
                         const char* unit_, const char* description_, double max_, double min_)
    : id(id_),
      component(kept(component_)),
      dataName(kept(dataName_)),
      group(kept(group_)),
      unit(kept(unit_)),
      description(kept(description_)),
      min(min_),
      max(max_) {}
OutputFile::Trace::~Trace() {
  call.close();
  closeSeries();
}

void OutputFile::Trace::closeSeries() { close_series(series); }

bool OutputFile::Trace::is(const char* name) { return has_name(series, "DataName", name); }

bool OutputFile::Trace::setRun(rec::Run& run) {
  if (series.handle != 0 && series.IsInRun != nullptr) {
    int flag = 0;
    (void)series.IsInRun(&series, &run, &flag);
    if (flag != 0) return true;
  }
  if (domain != nullptr && !domain->setRun(run)) return false;
  closeSeries();
  rec::Series* axis = domain != nullptr ? &domain->series : nullptr;
  if (run.CreateSeries == nullptr || noted(run.CreateSeries(&run, &call, rec::kRecordDouble, axis, &series)) != 0)
    return false;
  if (series.OpenAttributes != nullptr) {
    rec::Attributes a{};
    if (series.OpenAttributes(&series, &a) == 0) {
      set_text(a, "DataName", dataName);
      set_text(a, "Component", component);
      set_text(a, "Group", group);
      set_text(a, "Unit", unit);
      set_text(a, "Description", description);
      set_double(a, "Min", min);
      set_double(a, "Max", max);
      close_attributes(a);
    }
  }
  lastValue = 0.0;
  lastTime = -1.0;
  return true;
}

bool OutputFile::Trace::write(double value, double time) {
  if (time == lastTime || series.AppendValue == nullptr) return false;
  if (noted(series.AppendValue(&series, &value, 8, 0, rec::kRecordDouble)) != 0) return false;
  lastTime = time;
  lastValue = value;
  return true;
}

bool OutputFile::Trace::push(double time) {
  if (time == lastTime || series.AppendValue == nullptr) return false;
  if (noted(series.AppendValue(&series, &lastValue, 8, 0, rec::kRecordDouble)) != 0) return false;
  lastTime = time;
  return true;
}

// ---- The file --------------------------------------------------------------

OutputFile::OutputFile(const rec::File& file) : file_(file) {}

OutputFile::~OutputFile() {
  // 1. Calls of the table, last to first.
  for (int k = calls_.Count() - 1; k >= 0; --k) delete static_cast<Call*>(calls_.get(k));
  // 2-4. Channel traces, graphics traces, graphics domains, highest first.
  for (std::int64_t k = traces_.Last(); k >= 0; --k) delete static_cast<Trace*>(traces_[k]);
  for (std::int64_t k = graphicsTraces_.Last(); k >= 0; --k) delete static_cast<Trace*>(graphicsTraces_[k]);
  for (std::int64_t k = graphicsDomains_.Last(); k >= 0; --k) delete static_cast<Domain*>(graphicsDomains_[k]);
  // 5. The file; the main domain, the run and the root follow as members.
  if (file_.handle != 0 && file_.CloseFile != nullptr) (void)noted(file_.CloseFile(&file_));
  mainDomain_.closeSeries();
  mainDomain_.call.close();
  run_.close();
  root_.close();
}

std::int32_t OutputFile::nextDomainId() {
  if (domainIds_ < std::numeric_limits<std::int32_t>::max()) ++domainIds_;
  return domainIds_;
}

std::int32_t OutputFile::nextGraphicsId() {
  if (graphicsIds_ < std::numeric_limits<std::int32_t>::max()) ++graphicsIds_;
  return graphicsIds_;
}

bool OutputFile::create() {
  if (file_.OpenRoot == nullptr || file_.OpenRoot(&file_, &root_) != 0) return false;
  runCounter_ = 1;
  if (file_.OpenRun == nullptr || noted(file_.OpenRun(&file_, runCounter_, &run_)) != 0) return false;
  mainDomain_.id = nextDomainId();
  std::string("PGB:Domain").swap(mainDomain_.name);
  std::string("s").swap(mainDomain_.unit);
  return root_.addDomain(run_, mainDomain_, true);
}

namespace {

// Why the library did not open the record file at `path`, from what stands
// there and the system's reason it left in errno (0: none): "is a folder",
// "is in use" (another writer holds it), or "cannot be opened: <reason>".
std::string why_not_opened(const std::string& path, int result, int reason) {
  if (const std::string_view kind = wakro::not_a_file(path); !kind.empty()) return std::string(kind);
  if (result == rec::kRecordNameInUse && (reason == 0 || reason == EWOULDBLOCK)) return "is in use";
  return "cannot be opened: " +
         (reason != 0 ? wakro::system_reason(reason) : std::string("the output-writer library gives no reason"));
}

}  // namespace

void OutputFile::createOutputFile(std::string_view name, const std::string& writerPath) {
  if (pOutputFile != nullptr || g_attempted) return;
  g_attempted = true;
  g_writeReason = 0;
  g_writeReported = false;
  g_writeTorn = false;
  g_writeTime = 0.0;
  g_flushedTime = -1.0;
  if (!DataFile::Initialize(writerPath.c_str())) {
    g_failure = DataFile::error();
    return;
  }
  const std::string base = trimmed(name.data(), name.size(), 34);
  g_failure = "no record file could be opened";
  std::string firstRefusal;  // why the first name was not used
  for (int attempt = 0; attempt < kMaxNames; ++attempt) {
    const std::string file = attempt == 0 ? base + ".qbout" : base + "_" + std::to_string(attempt) + ".qbout";
    const std::string path = absolute_name(file);
    rec::File handle{};
    rec::CreationStats stats{1, 11, 13};
    errno = 0;
    const int result = DataFile::OpenRecordFileHandleA(path.c_str(), kOpenMode, &stats, &handle);
    const int reason = errno;
    if (noted(result) == rec::kRecordWriteFailed) {
      report_write_failure(path);
      wakro_quit("OUTPUTFILE", 0);
    }
    if (result != 0) {
      const std::string why = why_not_opened(path, result, reason);
      if (attempt == 0) firstRefusal = why;
      g_failure = "the record file \"" + path + "\" " + why;
      if (result == rec::kRecordNameInUse) continue;
      return;  // no other name would do better
    }
    pOutputFile = new OutputFile(handle);
    pOutputFile->path_ = path;
    const bool created = pOutputFile->create();
    pOutputFile->stopIfWriteFailed();
    if (created) {
      g_failure.clear();
      // The name asked for is not changed in silence: the warning says why.
      if (attempt > 0)
        wakro::ListLine() << "WARNING: The record file " + absolute_name(base + ".qbout") + " " + firstRefusal +
                                 ": the output is written to " + path + " instead.";
      return;
    }
    delete pOutputFile;
    pOutputFile = nullptr;
    g_failure = "the output-writer library cannot start the record file \"" + path + "\"";
    return;
  }
  g_failure = "the record file names \"" + base + ".qbout\" to \"" + base + "_" + std::to_string(kMaxNames - 1) +
              ".qbout\" are all in use";
}

const std::string& OutputFile::failure() { return g_failure; }

OutputFile::Call* OutputFile::parentOf(int parentKey) {
  if (parentKey < 0) return &root_;
  return static_cast<Call*>(calls_.fetch(parentKey));
}

void OutputFile::addCall(int key, int parentKey, int id, const char* name, const char* description) {
  Call* parent = parentOf(parentKey);
  if (parent == nullptr) return;
  Call* call = new Call;
  if (!parent->add(id, name, description, "Module", *call, true) || key <= 0 || calls_.fetch(key) != nullptr ||
      !calls_.append(call, key))
    delete call;
}

void OutputFile::addTrace(int index, int channelCallId, int parentKey, int traceId, const char* component,
                          const char* dataName, const char* group, const char* description, const char* unit,
                          double max, double min) {
  Call* parent = parentOf(parentKey);
  if (parent == nullptr || index < 0) return;
  if (index > outppp::jplt) {
    if (!warnedIndex_) {
      char text[160];
      std::snprintf(text, sizeof text,
                    "WARNING: A \"DATAStruct:\" line names output channel %d, but the case has %d: the line is ignored.",
                    index, static_cast<int>(outppp::jplt));
      wakro::ListLine() << text;
    }
    warnedIndex_ = true;
    return;
  }
  Call channel, record;
  if (!parent->addIfNotExist(channelCallId, component, "Output Channel", "PGB", channel)) return;
  if (!channel.addIfNotExist(0, "Record", "", "Data", record) || !record.isValid()) return;
  Trace* trace = new Trace(traceId, component, dataName, group, unit, description, max, min);
  trace->domain = &mainDomain_;
  if (!record.addTrace(run_, *trace, true)) {
    delete trace;
    return;
  }
  void*& slot = traces_[index];
  delete static_cast<Trace*>(slot);
  slot = trace;
}

void OutputFile::addGraphics(int, int parentKey, int id, const char* name, const char* dataName,
                             const char* description) {
  Call* parent = parentOf(parentKey);
  if (parent == nullptr) return;
  Call graphics, record;
  if (!parent->addIfNotExist(id, name, "", "Graphics", graphics)) return;
  const int n = graphics.getCount();
  if (n < 0) return;
  if (!graphics.addIfNotExist(n, "Record", "", "Data", record) || !record.isValid()) return;
  auto* trace = new Trace(nextGraphicsId(), name, dataName, "Graphics", "", description, 0.0, 0.0);
  auto* domain = new Domain(nextDomainId(), domain_name(kept(dataName)).c_str(), "s");
  graphicsTraces_[graphicsTraces_.Last() + 1] = trace;
  graphicsDomains_[graphicsDomains_.Last() + 1] = domain;
  if (root_.addDomain(run_, *domain, true)) {
    trace->domain = domain;
    (void)record.addTrace(run_, *trace, true);
  }
}

void OutputFile::addDatum(int index, double value, double time) {
  if (stopped_ || index < 0 || index > traces_.Last()) return;
  auto* trace = static_cast<Trace*>(traces_[index]);
  if (trace == nullptr || trace->domain == nullptr) return;
  // A flush between two output steps, after a count of values that doubles
  // from 1024 to 65536: a small file is written early, a large one in blocks.
  if (time != g_writeTime && kept_ >= flushAt_) {
    flushAt_ = std::min<std::size_t>(2 * flushAt_, kLargestFlush);
    flush();
  }
  ++kept_;
  g_writeTime = time;
  if (time != trace->domain->lastTime) (void)trace->domain->write(time);
  (void)trace->write(value, time);
  stopIfWriteFailed();
}

void OutputFile::addGraphicsDatum(int parentKey, int id, double value, double time, const char* name,
                                  int nameLength) {
  if (stopped_) return;
  Call* parent = parentOf(parentKey);
  if (parent == nullptr) return;
  g_writeTime = time;
  ++kept_;
  const std::string text =
      trimmed(name != nullptr ? name : "", name != nullptr ? static_cast<std::size_t>(std::max(nameLength, 0)) : 0,
              wakro::kRecordNameMax);
  Call graphics;
  if (!parent->addIfNotExist(id, "Graphics", "", "Graphics", graphics)) return;
  Trace trace(nextGraphicsId(), "", text.c_str(), "Graphics", "", "", 0.0, 0.0);
  Domain domain(nextDomainId(), domain_name(text).c_str(), "s");
  trace.domain = &domain;

  bool found = false;
  const int n = graphics.getCount();
  for (int k = 0; k < n && !found; ++k) {
    Call child;
    if (graphics.fetch(k, child, true) && child.findTrace(run_, text.c_str(), trace)) {
      if (trace.series.GetDomain != nullptr) (void)trace.series.GetDomain(&trace.series, &domain.series);
      found = true;
    }
  }
  if (!found) {
    Call record;
    if (!graphics.add(graphics.getCount(), "Record", "", "Data", record, true)) return;
    if (!root_.addDomain(run_, domain, true)) return;
    if (!record.addTrace(run_, trace, true)) return;
  }
  if (trace.series.AppendValue != nullptr)
    (void)noted(trace.series.AppendValue(&trace.series, &value, 8, 0, rec::kRecordDouble));
  (void)domain.write(time);
  trace.domain = nullptr;
  trace.closeSeries();
  domain.closeSeries();
  stopIfWriteFailed();
}

void OutputFile::nextRun() {
  if (stopped_) return;
  run_.close();
  if (runCounter_ < std::numeric_limits<std::int32_t>::max()) ++runCounter_;
  if (file_.OpenRun == nullptr || noted(file_.OpenRun(&file_, runCounter_, &run_)) != 0) {
    stopIfWriteFailed();
    // Writing on would go to series of a run that is closed: stop instead.
    stopped_ = true;
    char text[120];
    std::snprintf(text, sizeof text, "WARNING: The output record file cannot start run %d: nothing more is written to it.",
                  static_cast<int>(runCounter_));
    wakro::ListLine() << text;
    return;
  }
  for (std::int64_t k = 0; k <= traces_.Last(); ++k)
    if (auto* t = static_cast<Trace*>(traces_[k])) (void)t->setRun(run_);
  for (std::int64_t k = 0; k <= graphicsDomains_.Last(); ++k)
    if (auto* d = static_cast<Domain*>(graphicsDomains_[k])) (void)d->setRun(run_);
  for (std::int64_t k = 0; k <= graphicsTraces_.Last(); ++k)
    if (auto* t = static_cast<Trace*>(graphicsTraces_[k])) (void)t->setRun(run_);
  stopIfWriteFailed();
}

void OutputFile::flush() {
  if (stopped_) return;
  if (file_.handle != 0 && file_.Flush != nullptr && noted(file_.Flush(&file_)) == 0 && kept_ > 0)
    g_flushedTime = g_writeTime;
  kept_ = 0;
  stopIfWriteFailed();
}

void OutputFile::stopIfWriteFailed() {
  if (g_writeReason == 0 || g_writeReported) return;
  stopped_ = true;
  report_write_failure(path_);
  wakro_quit("OUTPUTFILE", 0);
}

// ---- Description lines -------------------------------------------------------

namespace {

constexpr std::size_t kNumberMax = 64;  // a number token this long (with its NUL) is refused

// Ends the run: field `field` of description line `line` is not a number.
[[noreturn]] void refuse_number(const char* line, const char* token, int field) {
  wakro::ListLine() << "A \"DATAStruct:\" line has a malformed number \"" << std::string(token) << "\" in field "
                    << std::to_string(field) << ": " << std::string(line);
  wakro_quit("DATASTRUCT", 1);
}

// The text of a number token as from_chars reads it: a leading '+' dropped, a
// Fortran D exponent as E. Empty when the token does not fit its buffer.
std::string number_text(const char* token) {
  std::string s(token);
  if (s.size() + 1 >= kNumberMax) return {};
  if (!s.empty() && s[0] == '+') s.erase(0, 1);
  for (char& c : s)
    if (c == 'D' || c == 'd') c = 'E';
  return s;
}

// An integer field; a missing (empty) trailing field reads as 0.
int int_field(const char* line, const char* token, int field) {
  if (*token == '\0') return 0;
  const std::string s = number_text(token);
  int v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) refuse_number(line, token, field);
  return v;
}

// A real field; a missing (empty) trailing field reads as 0. NaN and Inf are refused.
double real_field(const char* line, const char* token, int field) {
  if (*token == '\0') return 0.0;
  const std::string s = number_text(token);
  double v = 0.0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v))
    refuse_number(line, token, field);
  return v;
}

}  // namespace

bool OutputFile::process_line(const char* line) {
  if (runCounter_ > 1) return true;
  char text[kLineMax + 1];
  OutputFile_TrimField(line, strnlen(line, kLineMax), text, kLineMax);
  std::size_t pos = 0;
  char kind[kNumberMax], a[kNumberMax], b[kNumberMax], c[kNumberMax], d[kNumberMax], e[kNumberMax], f[kNumberMax];
  char name[128], group[128], unit[128], description[256];
  const auto next = [&](char* dst, std::size_t size) { OutputFile_adv_tok(text, dst, size, pos); };
  const auto integer = [&](const char* token, int at) { return int_field(text, token, at); };
  const auto real = [&](const char* token, int at) { return real_field(text, token, at); };
  next(kind, sizeof kind);
  switch (integer(kind, 1)) {
    case 0:
      return false;
    case 1:
      next(a, sizeof a), next(b, sizeof b), next(c, sizeof c);
      addCall(integer(a, 2), integer(b, 3), integer(c, 4), "Root", "Root");
      return true;
    case 2:
      next(a, sizeof a), next(b, sizeof b), next(c, sizeof c);
      next(name, sizeof name), next(description, sizeof description);
      addCall(integer(a, 2), integer(b, 3), integer(c, 4), name, description);
      return true;
    case 3: {
      next(a, sizeof a), next(b, sizeof b), next(c, sizeof c), next(d, sizeof d);
      next(name, sizeof name), next(group, sizeof group), next(unit, sizeof unit);
      next(e, sizeof e), next(f, sizeof f);
      const int channel = integer(a, 2), id = integer(b, 3), parent = integer(c, 4), key = integer(d, 5);
      const double maximum = real(e, 9), minimum = real(f, 10);
      char trace[256];
      std::snprintf(trace, sizeof trace, "%s:PGB:Trace:%d", name, id);
      addTrace(channel, key, parent, id, name, "PGB:Data", group, trace, unit, maximum, minimum);
      return true;
    }
    case 6: {
      char gname[32], dataName[32];
      next(a, sizeof a), next(b, sizeof b), next(c, sizeof c);
      next(gname, sizeof gname), next(dataName, sizeof dataName);
      std::string graphics = std::string(gname) + ":Graphics:" + dataName;
      if (graphics.size() > 63) graphics.resize(63);
      addGraphics(integer(a, 2), integer(b, 3), integer(c, 4), gname, dataName, graphics.c_str());
      return true;
    }
    default:
      return true;
  }
}

// ---- Registration with the output bindings ------------------------------------

namespace wakro {
namespace {

const RecordFileHooks kHooks{
    [] { return OutputFile::pOutputFile != nullptr; },
    [](std::string_view name) { OutputFile::createOutputFile(name, g_writerPath); },
    [](std::string_view line) {
      char text[kLineMax + 1] = {};
      std::memcpy(text, line.data(), std::min(line.size(), kLineMax));
      const bool result = OutputFile::pOutputFile->process_line(text);
      OutputFile::pOutputFile->stopIfWriteFailed();
      return result;
    },
    [](std::int32_t i, double v, double t) { OutputFile::pOutputFile->addDatum(i, v, t); },
    [](std::int32_t p, std::int32_t id, double v, double t, std::string_view name) {
      OutputFile::pOutputFile->addGraphicsDatum(p, id, v, t, name.data(), static_cast<int>(name.size()));
    },
    [] { OutputFile::pOutputFile->nextRun(); },
    [] { delete_output_file(); },
    [] { return g_failure.c_str(); },
    [] { return OutputFile::pOutputFile != nullptr ? OutputFile::pOutputFile->path().c_str() : ""; },
    [] { OutputFile::pOutputFile->flush(); },
    [] { return g_writeReason != 0; },
};

}  // namespace

void set_output_writer(std::string_view path) { g_writerPath = std::string(path); }

void use_record_file() { set_record_file_hooks(&kHooks); }

void delete_output_file() {
  // A write that fails only as the file closes is said here; the process entry
  // then ends with the status of a fatal stop.
  const std::string path = OutputFile::pOutputFile != nullptr ? OutputFile::pOutputFile->path() : "";
  delete OutputFile::pOutputFile;
  if (g_writeReason != 0 && !g_writeReported) report_write_failure(path);
  OutputFile::pOutputFile = nullptr;
  g_attempted = false;
  g_failure.clear();
}

}  // namespace wakro
