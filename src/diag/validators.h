// Checks that model code and the section readers make on subsystem, node and
// branch numbers before they touch the network arrays.
//
// A failed check writes its reason on the console and ends the run through
// wakro_quit: the checks made on behalf of a model under the caller's routine tag
// with no input context (mode 0); wakro_checkssn, made while data is read, under
// its own tag "CHECKSSN" with the last data line and data file (mode 1).
//
//   wakro_testssn(caller, ss)      1 <= ss <= int2::nmat
//   wakro_checkssn(ss)             1 <= ss <= int2::nmat
//   wakro_testnn(caller, n, ss)    the subsystem, then 1 <= n <= e_s0::mbus(ss)
//   wakro_testbrn(caller, b, ss)   the subsystem, then 1 <= b <= int2::insb(ss)
//   wakro_testswa(caller, b, ss)   the subsystem, then branch b is a switching
//                                  branch (a branch number outside 1..insb(ss) is
//                                  refused as wakro_testbrn refuses it)
//   wakro_migrate(name)            a routine that is no longer offered
// Caller and name tags are routine tags of 12 characters (a shorter text is
// padded with blanks).
#pragma once

#include <cstdint>
#include <string_view>

void wakro_testssn(std::string_view caller, std::int32_t ss);
void wakro_checkssn(std::int32_t ss);
void wakro_testnn(std::string_view caller, std::int32_t n, std::int32_t ss);
void wakro_testbrn(std::string_view caller, std::int32_t b, std::int32_t ss);
void wakro_testswa(std::string_view caller, std::int32_t b, std::int32_t ss);
[[noreturn]] void wakro_migrate(std::string_view name);
