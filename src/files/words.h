// Words of a 72-character data line, and small text services of the input files.
//
// Word rules (a tab counts as a blank):
//   1. skip blanks, double quotes, single quotes and '#';
//   2. the word starts at the first other character and ends before the next
//      blank, '=', single quote or double quote, or at column 72 ('#' ends no
//      word; a word may contain ':');
//   3. the result is the word, left-adjusted and blank-padded to 72;
//   4. a line of skipped characters only gives the line's last character (a
//      blank for a blank line).
// A word is a section key when it starts with '{' or '}' or holds a ':'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/fixedtext.h"

using Line72 = wakro::FixedText<72>;

Line72 wakro_firstwrd(const Line72& line);
// The word found from two columns after the first word's last character on; the
// first word again when that word runs to column 72; the line's last character
// when nothing but skipped characters follows.
Line72 wakro_secondwrd(const Line72& line);
// The text after the line's first '=', left-adjusted; blanks without an '='.
Line72 wakro_rhs72str(const Line72& line);
// The file name of an INCLUDE line: one free-format text item read from the text
// after the line's first 'E' (quoted, or ending at a blank or comma); blanks when
// the line holds no name.
Line72 wakro_inclname(const Line72& line);
// The text between the first two quotes (' or ") of the line. Without an opening
// quote in columns 1..71, or without a closing one, a console line says so and
// name keeps its value.
void wakro_getfname(const Line72& line, Line72& name);
bool wakro_sectname(const Line72& word);
// Skips blank lines and lines whose first word starts with '!' on the unit; the
// next read of the unit returns the first other line. End of file and read errors
// are reported on the console and are not fatal.
void wakro_skipcmnt(std::int32_t unit);
Line72 initstr72();
// Length of the first `length` characters of text without trailing blanks; 0 when
// they are all blank or length is below 1.
std::int32_t getdl(std::string_view text, std::int32_t length);
bool notblank(const Line72& line);
// Where the file-name part of a path begins: after its last '/' or '\\' (a
// name written on Windows), 0 when it has none. The rules that cut a name at
// its first blank or "." look only there, so a folder such as "../runs" stays
// whole.
std::size_t file_part_start(std::string_view name);
// x rounded to about eight significant digits; |x| below 1.0E-30, NaN and
// infinities are returned unchanged.
double dclean(double x);
