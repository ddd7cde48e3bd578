// DataFile: loads the output-writer library named by -outwriter and forwards
// the two entry points that open a record file.
#include "output/datafile.h"

#include <dlfcn.h>

namespace DataFile {
namespace {

struct Entries {
  wakro::record::OpenA openA = nullptr;
  wakro::record::OpenW openW = nullptr;
  std::string error;
};

Entries& entries() {
  static Entries e;
  return e;
}

}  // namespace

bool Initialize(const char* path) {
  Entries& e = entries();
  if (Loaded()) return true;
  if (path == nullptr || *path == '\0') {
    e.error = "no output-writer library is named (-outwriter)";
    return false;
  }
  // The library stays loaded for the life of the process: handles it filled
  // may be closed as late as the process end.
  void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) {
    const char* why = dlerror();
    e.error = std::string("the output-writer library \"") + path + "\" cannot be loaded (" +
              (why != nullptr ? why : "unknown reason") + ")";
    return false;
  }
  auto a = reinterpret_cast<wakro::record::OpenA>(dlsym(lib, "OpenRecordFileHandleA"));
  auto w = reinterpret_cast<wakro::record::OpenW>(dlsym(lib, "OpenRecordFileHandleW"));
  if (a == nullptr || w == nullptr) {
    e.error = std::string("the output-writer library \"") + path +
              "\" does not export OpenRecordFileHandleA and OpenRecordFileHandleW";
    dlclose(lib);
    return false;
  }
  e.openA = a;
  e.openW = w;
  e.error.clear();
  return true;
}

bool Loaded() { return entries().openA != nullptr && entries().openW != nullptr; }

const std::string& error() { return entries().error; }

int OpenRecordFileHandleA(const char* path, unsigned mode, wakro::record::CreationStats* stats,
                          wakro::record::File* file) {
  const auto fn = entries().openA;
  return fn == nullptr ? wakro::record::kNotLoaded : fn(path, mode, stats, file);
}

int OpenRecordFileHandleW(const wchar_t* path, unsigned mode, wakro::record::CreationStats* stats,
                          wakro::record::File* file) {
  const auto fn = entries().openW;
  return fn == nullptr ? wakro::record::kNotLoaded : fn(path, mode, stats, file);
}

}  // namespace DataFile
