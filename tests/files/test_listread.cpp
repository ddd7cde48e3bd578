// The free-format reader: separators, nulls, the slash, numbers and their
// refusals, logicals, texts, complex values, and reads that continue over the
// records of a unit.
#include <array>
#include <complex>
#include <cstdint>
#include <string>

#include "files/listread.h"
#include "files_fixture.h"

using wakro::list_read;
using wakro::list_read_unit;
using wakro::ReadStatus;

TEST(ListRead, BlanksCommasAndExponentLettersSeparateAndConvert) {
  std::int32_t n = 0;
  double a = 0.0;
  double b = 0.0;
  double c = 0.0;
  EXPECT_EQ(list_read("  12, 2.5D-3   -4E2,.5", {n, a, b, c}), ReadStatus::ok);
  EXPECT_EQ(n, 12);
  EXPECT_EQ(a, 2.5e-3);
  EXPECT_EQ(b, -400.0);
  EXPECT_EQ(c, 0.5);
  // Tabs separate like blanks; q exponents and a trailing decimal point are reals.
  EXPECT_EQ(list_read("\t7.\t1q1", {a, b}), ReadStatus::ok);
  EXPECT_EQ(a, 7.0);
  EXPECT_EQ(b, 10.0);
}

TEST(ListRead, SlashEndsTheReadAndNullItemsKeepTheirValues) {
  double x = 1.0;
  double y = 2.0;
  double z = 3.0;
  EXPECT_EQ(list_read("1.5 /  9 9", {x, y, z}), ReadStatus::ok);
  EXPECT_EQ(x, 1.5);
  EXPECT_EQ(y, 2.0);
  EXPECT_EQ(z, 3.0);
  // ",," leaves the middle target alone; a leading comma leaves the first.
  EXPECT_EQ(list_read("4,,6", {x, y, z}), ReadStatus::ok);
  EXPECT_EQ(x, 4.0);
  EXPECT_EQ(y, 2.0);
  EXPECT_EQ(z, 6.0);
  EXPECT_EQ(list_read(" , 8 , 9", {x, y, z}), ReadStatus::ok);
  EXPECT_EQ(x, 4.0);
  EXPECT_EQ(y, 8.0);
  EXPECT_EQ(z, 9.0);
  // A slash glued to a number still ends the read.
  EXPECT_EQ(list_read("5/7", {x, y}), ReadStatus::ok);
  EXPECT_EQ(x, 5.0);
  EXPECT_EQ(y, 8.0);
}

TEST(ListRead, AnInMemoryLineStopsAtItsEnd) {
  std::int32_t a = 0;
  std::int32_t b = -7;
  EXPECT_EQ(list_read("  3  ", {a, b}), ReadStatus::end);
  EXPECT_EQ(a, 3);
  EXPECT_EQ(b, -7);
  EXPECT_EQ(list_read("", {a}), ReadStatus::end);
}

TEST(ListRead, NonNumbersNanInfAndOutOfRangeValuesAreReadErrors) {
  double x = 0.0;
  std::int32_t n = 0;
  for (const char* bad : {"NaN", "nan", "Inf", "-inf", "infinity", "1e999", "abc", "1.2.3", "1e",
                          "E5", "+", "5e+", "0x10", "1-2"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(list_read(bad, {x}), ReadStatus::error);
  }
  EXPECT_EQ(list_read("5.0", {n}), ReadStatus::error);
  EXPECT_EQ(list_read("3000000000", {n}), ReadStatus::error);
  EXPECT_EQ(list_read("-2147483649", {n}), ReadStatus::error);
  EXPECT_EQ(list_read("2147483647", {n}), ReadStatus::ok);
  EXPECT_EQ(n, 2147483647);
  EXPECT_EQ(list_read("+12 ", {n}), ReadStatus::ok);
  EXPECT_EQ(n, 12);
  // One sign at most.
  for (const char* bad : {"+-5", "-+5", "--5", "++5", "-", "+"}) {
    SCOPED_TRACE(bad);
    n = 99;
    EXPECT_EQ(list_read(bad, {n}), ReadStatus::error);
    EXPECT_EQ(n, 99);
  }
  EXPECT_EQ(list_read("-7", {n}), ReadStatus::ok);
  EXPECT_EQ(n, -7);
}

// Found by fuzzing: a real with a leading '+' was refused while an integer with
// one was read.
TEST(ListRead, ARealWithALeadingPlusIsReadLikeAnIntegerWithOne) {
  double x = 0.0;
  double y = 0.0;
  EXPECT_EQ(list_read("+0.5 +50.0E-6", {x, y}), ReadStatus::ok);
  EXPECT_EQ(x, 0.5);
  EXPECT_EQ(y, 50.0e-6);
  EXPECT_EQ(list_read("+.25,+7 +1D+2", {x, y}), ReadStatus::ok);
  EXPECT_EQ(x, 0.25);
  EXPECT_EQ(y, 7.0);
  std::complex<double> z;
  EXPECT_EQ(list_read("(+1.5, +2)", {z}), ReadStatus::ok);
  EXPECT_EQ(z, std::complex<double>(1.5, 2.0));
  // Still one sign at most, and a sign alone is no number.
  for (const char* bad : {"++0.5", "+-0.5", "-+0.5", "+.", "+E5"}) {
    SCOPED_TRACE(bad);
    x = 99.0;
    EXPECT_EQ(list_read(bad, {x}), ReadStatus::error);
    EXPECT_EQ(x, 99.0);
  }
}

TEST(ListRead, LogicalsTextsAndComplexValues) {
  bool t = false;
  bool f = true;
  bool u = false;
  EXPECT_EQ(list_read(".TRUE. F true", {t, f, u}), ReadStatus::ok);
  EXPECT_TRUE(t);
  EXPECT_FALSE(f);
  EXPECT_TRUE(u);
  EXPECT_EQ(list_read("X", {t}), ReadStatus::error);

  wakro::FixedText<8> name;
  std::string word;
  EXPECT_EQ(list_read("'it''s a name'  dir/x.dta,next", {name, word}), ReadStatus::ok);
  EXPECT_EQ(name.view(), "it's a n");  // cut at its width
  EXPECT_EQ(word, "dir/x.dta");        // a bare text ends at a blank or comma only
  EXPECT_EQ(list_read("\"My case\"", {word}), ReadStatus::ok);
  EXPECT_EQ(word, "My case");
  EXPECT_EQ(list_read("'open", {word}), ReadStatus::error);

  std::complex<double> z;
  double after = 0.0;
  EXPECT_EQ(list_read("(1.5, -2) 3", {z, after}), ReadStatus::ok);
  EXPECT_EQ(z, std::complex<double>(1.5, -2.0));
  EXPECT_EQ(after, 3.0);
  EXPECT_EQ(list_read("(1.5 -2)", {z}), ReadStatus::error);
  EXPECT_EQ(list_read("1.5", {z}), ReadStatus::error);
}

TEST(ListRead, SpansTakeOneValuePerElement) {
  std::array<double, 4> v{9, 9, 9, 9};
  std::int32_t tail = 0;
  EXPECT_EQ(list_read("1 2 3 4 5", {std::span<double>(v), tail}), ReadStatus::ok);
  EXPECT_EQ(v, (std::array<double, 4>{1, 2, 3, 4}));
  EXPECT_EQ(tail, 5);
  std::array<std::int32_t, 3> k{0, 0, 0};
  EXPECT_EQ(list_read("7 8 /", {std::span<std::int32_t>(k)}), ReadStatus::ok);
  EXPECT_EQ(k, (std::array<std::int32_t, 3>{7, 8, 0}));
}

class ListReadUnit : public filestest::FilesTest {};

TEST_F(ListReadUnit, AUnitReadContinuesOverRecordsAndLeavesTheRestOfItsLastRecord) {
  write("d.txt", "1 2\r\n3\n4 5 6\n7\n");
  open("d.txt");
  std::array<double, 4> v{};
  EXPECT_EQ(list_read_unit(fnames::iunit, {std::span<double>(v)}), ReadStatus::ok);
  EXPECT_EQ(v, (std::array<double, 4>{1, 2, 3, 4}));
  // The 5 and 6 of the third record are gone: the next read starts at "7".
  double next = 0.0;
  EXPECT_EQ(list_read_unit(fnames::iunit, {next}), ReadStatus::ok);
  EXPECT_EQ(next, 7.0);
  EXPECT_EQ(list_read_unit(fnames::iunit, {next}), ReadStatus::end);
}

TEST_F(ListReadUnit, ASlashStopsAUnitReadWithinItsRecord) {
  write("d.txt", "1 /\n2 3\n");
  open("d.txt");
  double x = 0.0;
  double y = -1.0;
  EXPECT_EQ(list_read_unit(fnames::iunit, {x, y}), ReadStatus::ok);
  EXPECT_EQ(x, 1.0);
  EXPECT_EQ(y, -1.0);
  EXPECT_EQ(list_read_unit(fnames::iunit, {x, y}), ReadStatus::ok);
  EXPECT_EQ(x, 2.0);
  EXPECT_EQ(y, 3.0);
  // A read with no file open finds the end.
  EXPECT_EQ(list_read_unit(fnames::iunit + 1, {x}), ReadStatus::end);
}
