// Process services beside the links: starting a process for a server link,
// waiting for it, naming this computer, and sleeping.
#pragma once

#include <cstdint>

// For every server record with the id: starts the application with the command
// line (blank-separated words, double quotes group a word; with no application
// the first word is looked up on the PATH). On a failure prints
// "CreateProcess failed (%d).\n" with the system error code and returns false
// at once; otherwise true, also when no record has the id.
bool spawnprocess(const char* application, const char* commandLine, const std::int32_t& id);

// For every server record with the id that has a started process: waits for it
// to end and reaps it. Records without a process return at once. The wait ends
// after wakro::peer_wait_ms with "Process <pid> did not end in time." and the
// record kept.
void closeprocess(const std::int32_t& id);

// Writes this computer's host name (without domain) into the field of the
// given width, without a NUL; the rest of the field is left as it was. A name
// that cannot be obtained, or of 16 characters or more, leaves the field as it
// was; at most `width` characters are written.
void getmyhostname(char* field, std::int32_t width);

// Sleeps for the given number of milliseconds (none when not positive).
void wakro_wait(const std::int32_t& milliseconds);
