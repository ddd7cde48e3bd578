// OutputFile: the output record file, a tree of named nodes ("calls") with one
// set of data series per run, written through the output-writer library.
//
// Tree: the root; under it the main time domain (id 1048577, "PGB:Domain",
// unit "s") and the component calls of the description lines; under a
// component an "Output Channel" node per channel name, its "Record" node and
// one trace node per channel; "Graphics" nodes with "Record" children carrying
// one graphics trace each, with its own time domain under the root.
//
// One instance at most (OutputFile::pOutputFile). It is created on the first
// description line, described during run 1 only, receives one value per
// channel on each output step (addDatum), moves to a new run for each further
// run of a multiple-run set (nextRun) and is deleted at the process end, which
// closes everything in the library.
//
// Guards of this engine: a channel index above the case's channel count is
// refused with one warning (no giant table); names are cut to 255 characters
// everywhere, so a name read back compares equal to the name stored; a run
// change that fails stops all writing with one warning; the id counters stop
// at their largest value instead of overflowing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link/hashtable.h"
#include "output/record_handles.h"

namespace wakro {
// Longest name or text kept anywhere in the file.
inline constexpr std::size_t kRecordNameMax = 255;
}  // namespace wakro

// Copies source[0..sourceLength) without leading and trailing white space or
// NUL into target (targetSize characters and a NUL; the target holds
// targetSize + 1 bytes and is zero-filled first).
void OutputFile_TrimField(const char* source, std::size_t sourceLength, char* target, std::size_t targetSize);

// The next token of a description line (see outputfile.cpp) into destination
// (zero-filled, at most size - 1 characters); advances position.
void OutputFile_adv_tok(const char* line, char* destination, std::size_t size, std::size_t& position);

class OutputFile {
 public:
  struct Trace;
  struct Domain;
  struct Call : wakro::record::Call {
    Call();
    ~Call();
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
    bool isValid() const { return handle != 0; }
    void close();
    bool add(int id, const char* name, const char* description, const char* source, Call& child, bool replace);
    bool addIfNotExist(int id, const char* name, const char* description, const char* source, Call& child);
    bool fetch(int id, Call& child, bool replace);
    bool get(int position, Call& child, bool replace);
    int getCount();
    bool is(const char* name);
    bool getTrace(wakro::record::Run& run, Trace& trace, bool replace);
    bool findTrace(wakro::record::Run& run, const char* name, Trace& trace);
    bool addTrace(wakro::record::Run& run, Trace& trace, bool replace);
    bool addDomain(wakro::record::Run& run, Domain& domain, bool replace);
  };

  struct Run : wakro::record::Run {
    Run();
    ~Run();
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;
    void close();
  };

  struct Domain {
    Domain();
    Domain(std::int32_t id, const char* name, const char* unit);
    ~Domain();
    Domain(const Domain&) = delete;
    Domain& operator=(const Domain&) = delete;
    bool isValid() const { return series.handle != 0; }
    bool setRun(wakro::record::Run& run);
    bool write(double time);
    void closeSeries();

    Call call;
    wakro::record::Series series{};
    double lastTime = -1.0;
    std::int32_t id = -1;
    std::string name, unit;
  };

  struct Trace {
    Trace(std::int32_t id, const char* component, const char* dataName, const char* group, const char* unit,
          const char* description, double max, double min);
    ~Trace();
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;
    bool isValid() const { return series.handle != 0; }
    bool is(const char* name);
    bool setRun(wakro::record::Run& run);
    bool write(double value, double time);
    bool push(double time);
    void closeSeries();

    Call call;
    wakro::record::Series series{};
    double lastValue = 0.0;
    double lastTime = -1.0;
    Domain* domain = nullptr;
    std::int32_t id;
    std::string component, dataName, group, unit, description;
    double min, max;
  };

  static OutputFile* pOutputFile;
  // Creates pOutputFile from the blank-padded output name; nothing when it is
  // already set. writerPath names the library. On failure pOutputFile stays
  // null and failure() says why.
  static void createOutputFile(std::string_view name, const std::string& writerPath);
  static const std::string& failure();

  explicit OutputFile(const wakro::record::File& file);
  virtual ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool create();
  void nextRun();
  // Has the library write what it holds (the end of a run); a write that fails
  // stops the run.
  void flush();
  // Stops the run with one message when the library could not write the file
  // (once; nothing when it could).
  void stopIfWriteFailed();
  bool process_line(const char* line);

  void addCall(int key, int parentKey, int id, const char* name, const char* description);
  void addTrace(int index, int channelCallId, int parentKey, int traceId, const char* component,
                const char* dataName, const char* group, const char* description, const char* unit, double max,
                double min);
  void addGraphics(int ignored, int parentKey, int id, const char* name, const char* dataName,
                   const char* description);
  void addDatum(int index, double value, double time);
  void addGraphicsDatum(int parentKey, int id, double value, double time, const char* name, int nameLength);

  std::int32_t runNumber() const { return runCounter_; }
  bool stopped() const { return stopped_; }
  // Name of the file that was opened (absolute).
  const std::string& path() const { return path_; }

 private:
  Call* parentOf(int parentKey);
  std::int32_t nextDomainId();
  std::int32_t nextGraphicsId();

  wakro::record::File file_{};
  Call root_;
  Run run_;
  Domain mainDomain_;
  std::int32_t domainIds_ = 1048576;
  std::int32_t graphicsIds_ = 2097152;
  std::int32_t runCounter_ = 0;
  HashTable calls_{0.75};
  Array traces_;
  Array graphicsTraces_;
  Array graphicsDomains_;
  bool stopped_ = false;
  bool warnedIndex_ = false;
  std::size_t kept_ = 0;        // values handed on since the last flush
  std::size_t flushAt_ = 1024;  // values before the next flush (1024 at first)
  std::string path_;
};

namespace wakro {

// Names the output-writer library (-outwriter).
void set_output_writer(std::string_view path);
// Registers the record file with the output bindings (record_bindings.h).
void use_record_file();
// Deletes the record file (closing everything in the library) and forgets a
// failed attempt, so a later run set starts afresh.
void delete_output_file();

}  // namespace wakro
