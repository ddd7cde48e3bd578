// The subsystem, node and branch checks of model code and of the section readers.
#include "diag/validators.h"

#include <string>

#include "diag/console.h"
#include "diag/format.h"
#include "diag/listout.h"
#include "diag/quit.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/int2.h"

namespace {

using wakro::ListLine;

// A formatted console line (no leading blank of its own).
void layout(std::string_view form, std::initializer_list<wakro::FmtValue> values) {
  wakro::write_layout(wakro::console(), form, values);
}

// The tag blank-padded to 12 characters, as the termination line writes it.
std::string tag_padded_to_12(std::string_view tag) {
  std::string t(tag);
  if (t.size() < 12) t.resize(12, ' ');
  return t;
}

}  // namespace

void wakro_testssn(std::string_view caller, std::int32_t ss) {
  if (ss < 0) {
    layout("('Negative Subsystem Number:',I3)", {ss});
  } else if (ss == 0) {
    ListLine() << "Zero Subsystem Number";
  } else if (ss > int2::nmat) {
    layout("('Current SS# (',I3,' ) is greater than max SS# ',I3)", {ss, int2::nmat});
  } else {
    return;
  }
  wakro_quit(caller, 0);
}

void wakro_checkssn(std::int32_t ss) {
  if (ss > int2::nmat) {
    ListLine() << "Subsystem # " << ss << " is > max. subsystems to be used";
    ListLine() << "Check for missmatches in mapfile and datafiles";
  } else if (ss == 0) {
    ListLine() << "Zero subsystem # encountered";
    ListLine() << "Check for missmatch between map file and datafile";
  } else if (ss < 0) {
    ListLine() << "Negative subsystem # encountered";
  } else {
    return;
  }
  wakro_quit("CHECKSSN    ", 1);
}

void wakro_testnn(std::string_view caller, std::int32_t n, std::int32_t ss) {
  wakro_testssn(caller, ss);
  if (n < 0) {
    layout("('Negative Node Number:',I5)", {n});
  } else if (n == 0) {
    ListLine() << "Zero Node Number";
  } else if (n > e_s0::mbus(ss)) {
    layout("('Current Node# (',I5,' ) > max Node#',I5,' in SS',I3)", {n, e_s0::mbus(ss), ss});
  } else {
    return;
  }
  wakro_quit(caller, 0);
}

void wakro_testbrn(std::string_view caller, std::int32_t b, std::int32_t ss) {
  wakro_testssn(caller, ss);
  if (b == 0) {
    ListLine() << "Zero Branch Number";
  } else if (b > int2::insb(ss)) {
    layout("('Current Branch# (',I5,' ) > max Br#',I5,' in SS',I3)", {b, int2::insb(ss), ss});
  } else if (b < 0) {
    layout("('Negative Branch #',I5,' in SS',I3)", {b, ss});
  } else {
    return;
  }
  wakro_quit(caller, 0);
}

void wakro_testswa(std::string_view caller, std::int32_t b, std::int32_t ss) {
  wakro_testssn(caller, ss);
  // The flag of a branch number outside the subsystem's branches is not there to
  // read: such a number is refused as the branch check refuses it.
  if (b < 1 || b > int2::insb(ss)) wakro_testbrn(caller, b, ss);
  if (branches::switch_(b, ss)) return;
  layout("('Branch#',I5,' does not have a switch attribute.')", {b});
  layout("('FROM and TO Nodes: ',I5,1X,I5)", {branches::ief(b, ss), branches::iet(b, ss)});
  wakro_quit(caller, 0);
}

void wakro_migrate(std::string_view name) {
  const std::string tag = tag_padded_to_12(name);
  ListLine() << tag << " has been discontinued and cannot be supported";
  ListLine() << "See Migrating to WAKRO 3.1 section in on-line help";
  wakro_quit(tag, 0);
}
