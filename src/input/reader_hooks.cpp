// The registered readers of later subsystems, with their defaults.
#include "input/reader_hooks.h"

#include "diag/listout.h"
#include "diag/message.h"
#include "diag/missing_service.h"
#include "diag/quit.h"
#include "files/linereader.h"
#include "model/fnames.h"

namespace wakro {
namespace {

// Reading a case without its branches would give a network without them.
void no_branch_reader(std::int32_t) {
  ListLine() << "No branch reader (wakro_rdbrs) is registered: "
                "the BRANCHES: section cannot be read.";
  wakro_quit("RDBRS", 1);
}
// Sections whose readers are not built yet are skipped, and the first of each
// kind says so: the case then runs without what they describe.
struct NotReadYet {
  bool transformers = false;
  bool lines = false;
  bool global_lines = false;
  bool datastruct = false;
};
NotReadYet g_said;

void say_not_read(bool& said, const char* text) {
  if (said) return;
  said = true;
  wakro_warn(0, 0, wakro::msg::kSingleLine, text);
}

void skip_transformers(std::int32_t&) {
  say_not_read(g_said.transformers,
               "TRANSFORMERS: sections are not read yet: the case runs without its transformers.");
  wakro_nextkey();
}
void skip_lines(std::int32_t&, std::int32_t&, std::int32_t&, std::int32_t&) {
  if (fnames::section == "GLOBAL_TLINES:")
    say_not_read(g_said.global_lines,
                 "GLOBAL_TLINES: sections are not read yet: the case runs without those lines.");
  else
    say_not_read(g_said.lines,
                 "TLINES: sections are not read yet: the case runs without its transmission lines.");
  wakro_nextkey();
}
// Every case's work matrices and sparse lists are sized by the MNA set-up, with
// or without MNA elements: a reader without it would leave them unsized.
void missing_mna_setup() {
  missing_service("initialize_mna_map", "the network's set-up of the work matrices");
}
void drop_line(const FixedText<512>&) {
  say_not_read(g_said.datastruct,
               "DATAStruct: sections are not read yet: the output record file has no description.");
}

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

void reset_reader_hooks() {
  g_hooks = defaults();
  g_said = NotReadYet{};
}

}  // namespace wakro
