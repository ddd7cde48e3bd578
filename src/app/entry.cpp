// wakro_main, WakroV5, WakroV2 and the locale: the process entries.
//
// The fatal-exit point is the catch of wakro::FatalExit here: a fatal stop
// anywhere below the driver unwinds to it with its status, and the closing steps
// (the link's closing exchange, the output record file, the catalogue) still
// run.
#include "app/entry.h"

#include <clocale>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string_view>
#include <vector>

#include "app/args.h"
#include "app/driver.h"
#include "app/link_start.h"
#include "app/seams.h"
#include "app/stoprun.h"
#include "diag/catalog.h"
#include "diag/console.h"
#include "diag/hooks.h"
#include "diag/quit.h"
#include "files/open_limit.h"
#include "files/units.h"
#include "link/exchange.h"
#include "link/link_failure.h"
#include "model/fatal.h"
#include "model/fixedtext.h"
#include "output/record_bindings.h"

namespace {

bool equal_no_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[k]) != lower(b[k])) return false;
  }
  return true;
}

void flush_all() {
  wakro::console().flush();
  wakro::console_err().flush();
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
}

// Runs the driver behind the fatal-exit point; the status of the run.
int run_driver(bool version5, bool gui, wakro::FixedText<128>& host, std::int32_t port,
               std::int32_t clientId) {
  try {
    wakro_driver(version5, gui, host, port, clientId);
    // A run that a stop signal ended has not ended normally.
    return wakro::stop_signal_status();
  } catch (const wakro::FatalExit& e) {
    // Input files the case reader had open when the run stopped.
    wakro::close_all_units();
    if (!e.message().empty()) wakro::console_err() << e.message() << '\n';
    return e.status();
  } catch (const LinkFatal& e) {
    // A channel's misuse or its peer's failure: reported as the link reports.
    wakro::close_all_units();
    wakro::console_err() << "Exchange Error: " << e.what() << '\n';
    return wakro::kRuntimeStopStatus;
  } catch (const std::exception& e) {
    wakro::console_err() << "Unexpected error: " << e.what() << '\n';
    return wakro::kRuntimeStopStatus;
  }
}

// The command line of the current form, written after "Usage: <program>".
constexpr std::string_view kUsage =
    " -v5 [-config <file>] [-standalone] [-locale <name> -port <number> [-host <name>]"
    " [-id <number>] [-lumbra <library>]] [-outwriter <library>] [-out <name>]"
    " [-outtype legacy|bin]";

// The status of a command line that asks for nothing that can run (no
// arguments, no form recognised, a word that names no option, a refused option
// value): nothing runs and the caller sees a failure.
constexpr int kUsageErrorStatus = 2;

// One line on standard error: the word that names no option, if any, and the
// usage.
void write_usage(std::string_view program, std::string_view unknown) {
  std::ostream& err = wakro::console_err();
  if (!unknown.empty()) err << "Unknown option '" << unknown << "'. ";
  err << "Usage: " << program << kUsage << '\n';
}

// The first word of the command line or of its option files that names no
// option; the program name and "-v5", which the option reader reads as words
// too, are none. Empty when every word is an option or a value.
std::string_view first_unknown_option(char** argv) {
  const std::vector<std::string>& u = wakro::cArguments.unknownWords;
  std::size_t k = 0;
  if (k < u.size() && u[k] == argv[0]) ++k;
  if (k < u.size() && u[k] == argv[1]) ++k;
  return k < u.size() ? std::string_view(u[k]) : std::string_view();
}

// Parses the words of the current form into wakro::cArguments; 0, or the status
// of an option-file stop after its message was written on stderr.
int parse_options(int argc, char** argv) {
  try {
    wakro::cArguments.process(argc, argv);
    return 0;
  } catch (const wakro::FatalExit& e) {
    wakro::console_err() << e.message() << '\n';
    return e.status();
  }
}

// The host field handed to the driver: at most 127 characters.
wakro::FixedText<128> host_field(std::string_view host) {
  wakro::FixedText<128> field;
  field.assign(host.substr(0, 127));
  return field;
}

}  // namespace

void setLocaleArgs(const std::string& locale) {
  if (locale.empty()) return;
  wakro::console() << "Requested locale = " << locale << '\n';
  const char* set = std::setlocale(LC_ALL, locale.c_str());
  // The names of the other platform are not known here; take the nearest.
  if (set == nullptr && equal_no_case(locale, "english-us")) {
    set = std::setlocale(LC_ALL, "en_US.UTF-8");
    if (set == nullptr) set = std::setlocale(LC_ALL, "C.UTF-8");
  }
  if (set == nullptr) {
    wakro::console_err() << "Warning: Unable to change the locale.\n";
  } else {
    const char* current = std::setlocale(LC_ALL, nullptr);
    wakro::console() << "Current locale = " << (current != nullptr ? current : "") << '\n';
  }
  // Numbers are always read and written in the C form.
  std::setlocale(LC_NUMERIC, "C");
}

void setTheLocale(int argc, const char* const* argv) {
  const char* present = std::setlocale(LC_ALL, nullptr);
  wakro::console() << "Current locale = " << (present != nullptr ? present : "") << '\n';
  constexpr std::string_view kKey = "locale=";
  for (int k = 1; k < argc; ++k) {
    const std::string_view word = argv[k] != nullptr ? argv[k] : "";
    if (word.substr(0, kKey.size()) != kKey) continue;
    setLocaleArgs(std::string(word.substr(kKey.size(), 127)));
    return;
  }
}

int WakroV5() {
  const wakro::ArgReader& a = wakro::cArguments;
  setLocaleArgs(a.hasLocale ? a.locale : std::string("english-us"));
  // The -locale value, not -host, decides whether the link is wanted.
  const bool gui = !a.standalone && a.hasLocale && a.port != -1;
  wakro::FixedText<128> host = host_field(a.hasHost ? a.host : std::string("localhost"));
  catWakro = new Catalog(msg_wakro);

  int status = 1;
  if (beginCommunication())
    status = run_driver(true, gui, host, a.port, a.id);
  else if (wakro::stop_signal() != 0)
    status = 128 + wakro::stop_signal();  // a stop signal ended the connection's wait
  // A link that broke before its closing exchange is a failed end; one whose
  // answer a stop signal ended the wait for ends as the signal's stop.
  if (!endCommunication() && status == 0)
    status = wakro::stop_signal() != 0 ? 128 + wakro::stop_signal() : 1;

  wakro::seams().delete_output_file();
  // A record file that could not be written as it closed is no success.
  if (status == 0 && wakro::record_file_write_failed()) status = wakro::kQuitStatus;
  flush_all();
  delete exQuolb;
  exQuolb = nullptr;
  delete catWakro;
  catWakro = nullptr;
  return status;
}

namespace wakro {

OlderForm parse_older_form(int argc, const char* const* argv) {
  OlderForm f;
  auto word = [&](int k) -> std::string_view { return (k < argc && argv[k] != nullptr) ? argv[k] : ""; };
  int p = (argc > 1 && equal_no_case(word(1), "-v4")) ? 2 : 1;
  if (p < argc && equal_no_case(word(p), "-v3")) ++p;
  if (p < argc && equal_no_case(word(p), "-v2")) ++p;
  if (p < argc && equal_no_case(word(p), "-startup:alone")) {
    f.standalone = true;
    ++p;
  }
  if (p + 1 < argc) {
    const std::int32_t value = leading_integer(argv[p + 1]);
    if (value != 0) {
      f.host = std::string(word(p).substr(0, 127));
      f.port = static_cast<std::uint16_t>(value);
      f.gui = true;
    }
  }
  for (int k = 0; k + 1 < argc; ++k)
    if (equal_no_case(word(k), "/ID")) f.clientId = static_cast<std::uint16_t>(leading_integer(argv[k + 1]));
  return f;
}

}  // namespace wakro

// The older standalone form: the driver without the link and without the
// version-5 end report.
int WakroV2(const wakro::OlderForm& f) {
  catWakro = new Catalog(msg_wakro);
  wakro::FixedText<128> host = host_field(f.host);
  const int status = run_driver(false, false, host, f.port, f.clientId);
  delete catWakro;
  catWakro = nullptr;
  return status;
}

int WakroV4(int argc, const char* const* argv) {
  (void)wakro::raise_open_file_limit();
  if (wakro::szProgramName.empty() && argc > 0 && argv[0] != nullptr) wakro::szProgramName = argv[0];
  setTheLocale(argc, argv);
  const wakro::OlderForm f = wakro::parse_older_form(argc, argv);
  catWakro = new Catalog(msg_wakro);
  if (f.gui && !wakro::open_tcp_link(f.host, f.port)) {
    delete catWakro;
    catWakro = nullptr;
    return 1;
  }
  wakro::FixedText<128> host = host_field(f.host);
  int status = run_driver(false, f.gui, host, f.port, f.clientId);
  flush_all();
  if (exQuolb != nullptr) {
    // The closing exchange; this entry never finalises the library.
    const bool library = wakro::bUseLumbra;
    wakro::bUseLumbra = false;
    endCommunication();
    wakro::bUseLumbra = library;
  }
  wakro::seams().delete_output_file();
  if (status == 0 && wakro::record_file_write_failed()) status = wakro::kQuitStatus;
  delete exQuolb;
  exQuolb = nullptr;
  delete catWakro;
  catWakro = nullptr;
  return status;
}

int wakro_main(int argc, char** argv) {
  // Before any file is opened: a soft limit on open files below the hard one
  // would stop the run at whichever file met it.
  (void)wakro::raise_open_file_limit();
  wakro::install_diagnostic_hooks();
  wakro::install_stop_signals();
  wakro::szProgramName = (argc > 0 && argv[0] != nullptr) ? argv[0] : "wakro";
  const std::string& program = wakro::szProgramName;

  if (argc >= 2 && argv[1] != nullptr && equal_no_case(argv[1], "-v5")) {
    int refused = parse_options(argc, argv);
    if (refused == 0) {
      const std::string_view unknown = first_unknown_option(argv);
      for (const std::string& why : wakro::cArguments.refusals) wakro::console_err() << why << '\n';
      if (!unknown.empty() || !wakro::cArguments.refusals.empty()) {
        write_usage(program, unknown);
        refused = kUsageErrorStatus;
      }
    }
    const int status = refused != 0 ? refused : WakroV5();
    wakro::console() << wakro::exit_line(program, status);
    flush_all();
    return wakro::process_exit_code(status);
  }

  const wakro::OlderForm f = wakro::parse_older_form(argc, argv);
  int status = 0;
  if (f.gui) {
    // Refused: the caller must not take the refusal for a run that succeeded.
    wakro::console() << program << " exiting. Incompatible WAKRO library. ";
    status = kUsageErrorStatus;
  } else if (f.standalone) {
    status = WakroV2(f);
  } else {
    // Nothing runs: no arguments, or none that a form recognises.
    write_usage(program, {});
    status = kUsageErrorStatus;
  }
  flush_all();
  return wakro::process_exit_code(status);
}
