// Seams through which higher subsystems serve the input readers.
//
// The line subsystem sizes the line arrays while the dimension reader walks the
// case: it registers
//   sctline       reads one "TLINES:" or "GLOBAL_TLINES:" section (the line
//                 reader's section holds the key) with the line-constants files it
//                 names, adds its lines to the running line counts and the line
//                 entries of ndde::e_ndim, and returns with the next section key
//                 in fnames::section;
//   sctline_init  clears those running counts (called once before each walk).
// Until it does, the walk counts no lines: the default sctline skips the section's
// data lines and the default sctline_init does nothing, which is right for a case
// without lines.
//
// The snapshot subsystem writes the run parameters in the "PARAMETERS:" form when
// the case asks for them (PRINT_PARAMETERS = YES): it registers writeparm(unit);
// the default writes nothing (the request is passed over until that room is
// linked; a case that does not ask needs nothing).
#pragma once

#include <cstdint>

namespace wakro {

using SctlineFn = void (*)();
using WriteparmFn = void (*)(std::int32_t& unit);

// nullptr restores the default.
void set_line_sizing_hooks(SctlineFn sctline, SctlineFn sctline_init);
void set_writeparm_hook(WriteparmFn writeparm);

// Calls through the registered services.
void call_sctline();
void call_sctline_init();
void call_writeparm(std::int32_t& unit);

}  // namespace wakro
