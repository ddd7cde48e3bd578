// The output record file bindings: pass the call on when the output type is
// the record file and the record file is there.
#include "output/record_bindings.h"

#include <string>

#include "diag/listout.h"
#include "model/fnames.h"
#include "model/outppp.h"

namespace wakro {
namespace {

const RecordFileHooks* g_hooks = nullptr;
bool g_lines_seen = false;  // a description line arrived with the record-file type

bool record_type() { return fnames::iouttype == 1 && g_hooks != nullptr; }
bool record_file_exists() { return record_type() && g_hooks->exists != nullptr && g_hooks->exists(); }

}  // namespace

void set_record_file_hooks(const RecordFileHooks* hooks) { g_hooks = hooks; }

bool record_file_available() { return g_hooks != nullptr; }

void settle_output_type() {
  if (fnames::iouttype != 1 || g_hooks == nullptr || record_file_exists()) return;
  fnames::iouttype = 0;
  std::string cause = "the case's page data carry no \"DATAStruct:\" description lines";
  if (g_lines_seen && g_hooks->cause != nullptr && g_hooks->cause() != nullptr && *g_hooks->cause() != '\0')
    cause = g_hooks->cause();
  if (outppp::outfil != 0)
    ListLine() << "WARNING: The output record file (-outtype bin) cannot be written: " + cause +
                      "; the legacy channel files are written instead.";
}

std::string record_file_path() {
  if (!record_file_exists() || g_hooks->path == nullptr || g_hooks->path() == nullptr) return {};
  return g_hooks->path();
}

void flush_record_file() {
  if (record_file_exists() && g_hooks->flush != nullptr) g_hooks->flush();
}

bool record_file_write_failed() { return g_hooks != nullptr && g_hooks->write_failed != nullptr && g_hooks->write_failed(); }

void close_record_file() {
  g_lines_seen = false;
  if (g_hooks != nullptr && g_hooks->close != nullptr) g_hooks->close();
}

}  // namespace wakro

void ofprocessline(std::string_view line) {
  using namespace wakro;
  if (!record_type()) return;
  g_lines_seen = true;
  if (!record_file_exists() && g_hooks->create != nullptr) g_hooks->create(fnames::onam.view());
  if (!record_file_exists() || g_hooks->process_line == nullptr) return;
  (void)g_hooks->process_line(line);
}

void ofadddatum(std::int32_t index, double value, double time) {
  using namespace wakro;
  if (!record_file_exists() || g_hooks->add_datum == nullptr) return;
  g_hooks->add_datum(index, value, time);
}

void ofgraphicdatum(std::int32_t parentKey, std::int32_t id, double value, double time,
                    std::string_view name) {
  using namespace wakro;
  if (!record_file_exists() || g_hooks->add_graphics_datum == nullptr) return;
  g_hooks->add_graphics_datum(parentKey, id, value, time, name);
}

void ofnextrun() {
  using namespace wakro;
  if (!record_file_exists() || g_hooks->next_run == nullptr) return;
  g_hooks->next_run();
}
