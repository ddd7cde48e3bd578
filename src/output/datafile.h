// DataFile: the output-writer library, loaded at run time.
//
//   Initialize(path)        loads the library (dlopen) and looks up
//                           "OpenRecordFileHandleA" and "OpenRecordFileHandleW";
//                           true only when both are there. Once loaded, later
//                           calls return true at once. On failure `error()`
//                           says why.
//   OpenRecordFileHandleA/W forward to the library; kNotLoaded (65535) while
//                           the entry point is not loaded.
#pragma once

#include <string>

#include "output/record_handles.h"

namespace DataFile {

bool Initialize(const char* path);
bool Loaded();
const std::string& error();
int OpenRecordFileHandleA(const char* path, unsigned mode, wakro::record::CreationStats* stats,
                          wakro::record::File* file);
int OpenRecordFileHandleW(const wchar_t* path, unsigned mode, wakro::record::CreationStats* stats,
                          wakro::record::File* file);

}  // namespace DataFile
