// The registered readers of later subsystems, with their defaults.
#include "input/reader_hooks.h"

#include "diag/listout.h"
#include "diag/missing_service.h"
#include "diag/quit.h"
#include "files/linereader.h"

namespace wakro {
namespace {

// Reading a case without its branches would give a network without them.
void no_branch_reader(std::int32_t) {
  ListLine() << "No branch reader (wakro_rdbrs) is registered: "
                "the BRANCHES: section cannot be read.";
  wakro_quit("RDBRS", 1);
}
void skip_transformers(std::int32_t&) { wakro_nextkey(); }
void skip_lines(std::int32_t&, std::int32_t&, std::int32_t&, std::int32_t&) { wakro_nextkey(); }
// Every case's work matrices and sparse lists are sized by the MNA set-up, with
// or without MNA elements: a reader without it would leave them unsized.
void missing_mna_setup() {
  missing_service("initialize_mna_map", "the network's set-up of the work matrices");
}
void drop_line(const FixedText<512>&) {}

ReaderHooks defaults() {
  ReaderHooks h{};
  h.rdbrs = &no_branch_reader;
  h.dsmint = &skip_transformers;
  h.dslint = &skip_lines;
  h.initialize_mna_map = &missing_mna_setup;
  h.ofprocessline = &drop_line;
  return h;
}

ReaderHooks g_hooks = defaults();

}  // namespace

ReaderHooks& reader_hooks() { return g_hooks; }

void reset_reader_hooks() { g_hooks = defaults(); }

}  // namespace wakro
