// The process entries: wakro_main chooses the command-line form, prepares the
// process (the soft limit on open files raised to the hard one before any file
// is opened, files/open_limit.h; locale, message catalogue, link, fatal-exit
// point), runs the driver and turns its outcome into the exit status.
//
// Current form: the second word is "-v5" (any case); all words are parsed as
// options, WakroV5 runs, and "<program> exiting.  Status code = <status>" is
// printed with the full status. Older forms (-v4, -v3, -v2, -startup:alone, a
// host and port pair, /ID <id>) print no exit line; a host and port pair is
// refused with "<program> exiting. Incompatible WAKRO library. " and status 2.
//
// The status is 0 for a normal end, 1 when the link cannot be opened (or broke
// before its closing exchange), 128 plus the signal number when a stop
// signal ended the run (stoprun.h), and the
// status of a fatal exit (2000 plus the message code); the process exit code is
// wakro::process_exit_code(status), so no failure reaches a parent as success.
//
// A current-form command line with a word that names no option or an option
// value that is refused (args.h), and a command line with which nothing runs
// (no arguments at all, or no form recognised), are usage errors: nothing runs,
// the refusals (one line each) and one line "Unknown option '<word>'. "
// (current form only) followed by "Usage: <program> -v5 [-config <file>] ..."
// go to standard error, and the status is 2 (the current form still prints its
// exit line).
#pragma once

#include <string>

// The entry called by each case executable's main.
int wakro_main(int argc, char** argv);

int WakroV5();

// Sets the locale for all categories (an empty text changes nothing), reports
// it, and keeps numbers in the C form whatever the locale.
void setLocaleArgs(const std::string& locale);

namespace wakro {
// The older forms' state: run alone, host, port and client id.
struct OlderForm {
  bool standalone = false;
  bool gui = false;
  std::string host;
  int port = 0;
  int clientId = 0;
};
// Parses the older positional forms (words compared without regard to case).
OlderForm parse_older_form(int argc, const char* const* argv);
}  // namespace wakro

// Runs the older standalone form.
int WakroV2(const wakro::OlderForm& form);

// The older link-mode entry (no caller in the process entry): the locale from a
// "locale=" word, a TCP link when the words name a host and port, the driver,
// and the closing exchange without finalising the communication library.
// Status 1 when the link cannot be opened.
int WakroV4(int argc, const char* const* argv);

// Reports the present locale, then sets the locale named by the first word
// from the second on that starts with "locale=" (nothing when there is none or
// its text is empty).
void setTheLocale(int argc, const char* const* argv);
