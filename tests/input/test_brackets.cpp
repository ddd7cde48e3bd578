// Bracketed data blocks read from a module data file after the section search.
#include <array>
#include <string>
#include <vector>

#include "input/brackets.h"
#include "files/linereader.h"
#include "input_fixture.h"

using inputtest::banner_tail;
using inputtest::ff;
using inputtest::pad72;

namespace {

const std::string kRule = " =========================================================\n";

std::string context1(const std::string& dumlin, const std::string& file) {
  std::string name = file;
  name.resize(34, ' ');
  return kRule + " Following is the last read data line:\n " + pad72(dumlin) + "\n" +
         " Data file name: " + name + "...\n";
}

// " <text> <integer> <text> <integer>" as the free-format writer puts it.
std::string count_line(int expected, const std::string& what, int found) {
  auto i11 = [](int v) {
    std::string s = std::to_string(v);
    return std::string(11 - s.size(), ' ') + s;
  };
  return " Expecting  " + i11(expected) + " " + what + " " + i11(found) + "\n";
}

class Brackets : public inputtest::InputTest {
 protected:
  // Opens the module data file and moves to the section, as model code does.
  void goto_section(const std::string& file, const std::string& key) {
    open(file);
    fnames::section = key;
    wakro_gotosection();
  }
};

}  // namespace

TEST_F(Brackets, ATableAndAMatrixFromAModuleDataFile) {
  write("Gen.dta",
        "DATADSD:\n"
        " {\n"
        " 0 0\n"
        "DATADSO:\n"
        "! table of the exciter\n"
        " {\n"
        " 1 2\n"
        " 3 /\n"
        "C comment between pairs\n"
        " 5,6\n"
        " 7 8\n"
        " }\n"
        " { 9 9\n"
        "  1 2 3\n"
        "  4 /\n"
        " }\n"
        "ENDPAGE:\n");
  goto_section("Gen.dta", "DATADSO:");
  std::array<double, 3> x{-1, -1, -1};
  std::array<double, 3> y{-1, -1, -1};
  wakro_readxy(3, x, y);
  EXPECT_EQ(x, (std::array<double, 3>{1, 3, 5}));
  EXPECT_EQ(y, (std::array<double, 3>{2, 0, 6}));  // "7 8" is skipped
  EXPECT_EQ(fnames::section.trimmed(), "}");

  std::vector<double> a(300, -1.0);
  wakro_readmatx(2, 3, a);
  EXPECT_EQ(a[0], 1.0);    // (1,1)
  EXPECT_EQ(a[100], 2.0);  // (1,2)
  EXPECT_EQ(a[200], 3.0);  // (1,3)
  EXPECT_EQ(a[1], 4.0);    // (2,1)
  EXPECT_EQ(a[101], 0.0);  // (2,2) left at 0 by the slash
  EXPECT_EQ(a[201], 0.0);  // (2,3)
  EXPECT_EQ(a[2], -1.0);   // row 3 not touched
  EXPECT_EQ(fnames::section.trimmed(), "}");
  EXPECT_EQ(fnames::iunit, 50);
  wakro_closefile();
}

TEST_F(Brackets, APairLineWithOneValueTakesTheNextLineForY) {
  write("m.dta", "{\n 1\n 2\n 3 4\n}\n");
  open("m.dta");
  std::array<double, 2> x{};
  std::array<double, 2> y{};
  wakro_readxy(2, x, y);
  EXPECT_EQ(x, (std::array<double, 2>{1, 3}));
  EXPECT_EQ(y, (std::array<double, 2>{2, 4}));
}

TEST_F(Brackets, ZeroPairsSkipsToTheClosingBracket) {
  write("m.dta", "{\n 1 2\n 3 4\n}\nNEXT:\n");
  open("m.dta");
  std::array<double, 1> x{7};
  std::array<double, 1> y{7};
  wakro_readxy(0, x, y);
  EXPECT_EQ(x[0], 7.0);
  rdcmnt();
  EXPECT_EQ(fnames::section.trimmed(), "NEXT:");
}

TEST_F(Brackets, MalformedBlocksStopWithTheirMessages) {
  std::array<double, 3> x{};
  std::array<double, 3> y{};

  write("few.dta", "{\n 1 2\n}\n");
  open("few.dta");
  inputtest::Outcome o = run([&] { wakro_readxy(3, x, y); });
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("Unexpected end of data encountered by READXY") +
                           count_line(3, " pairs but found only ", 1) + context1("}", "few.dta") +
                           banner_tail("READXY      "));

  inputtest::reset_reader_state();
  write("glued.dta", "{1 2\n}\n");
  open("glued.dta");
  o = run([&] { wakro_readxy(1, x, y); });
  EXPECT_EQ(o.console, ff("Model data is missing begin bracket, {") +
                           context1("{1 2", "glued.dta") + banner_tail("READXY      "));

  inputtest::reset_reader_state();
  write("noend.dta", "{\n 1 2\nDATADSO:\n 3 4\n");
  open("noend.dta");
  o = run([&] { wakro_readxy(1, x, y); });
  EXPECT_EQ(o.console, ff("Model data is missing end bracket, }") +
                           context1("DATADSO:", "noend.dta") + banner_tail("READXY      "));

  // A key inside the block would shift the values silently: it is refused.
  inputtest::reset_reader_state();
  write("inner.dta", "{\n 1 2\nOTHER:\n 3 4\n}\n");
  open("inner.dta");
  o = run([&] { wakro_readxy(2, x, y); });
  EXPECT_EQ(o.console.substr(0, o.console.find(kRule)), ff("Model data is missing end bracket, }"));

  inputtest::reset_reader_state();
  write("bad.dta", "{\n 1 x\n}\n");
  open("bad.dta");
  o = run([&] { wakro_readxy(1, x, y); });
  EXPECT_EQ(o.console, ff("Error while reading data") + context1(" 1 x", "bad.dta") +
                           banner_tail("READXY      "));
}

TEST_F(Brackets, MatrixErrorsAndLimits) {
  std::vector<double> a(300, 0.0);
  write("few.dta", "{\n 1 2 3\n}\n");
  open("few.dta");
  inputtest::Outcome o = run([&] { wakro_readmatx(2, 3, a); });
  EXPECT_EQ(o.console, ff("Unexpected end of data encountered by READXY") +
                           count_line(2, " rows but found only ", 1) + context1("}", "few.dta") +
                           banner_tail("READMATX    "));

  // A read error keeps what was read before it and zeros the rest of the row.
  inputtest::reset_reader_state();
  a.assign(300, -1.0);
  write("bad.dta", "{\n 1 2 x\n}\n");
  open("bad.dta");
  o = run([&] { wakro_readmatx(1, 3, a); });
  EXPECT_EQ(o.console.substr(0, o.console.find(kRule)), ff("Error while reading data"));
  EXPECT_EQ(a[0], 1.0);
  EXPECT_EQ(a[100], 2.0);
  EXPECT_EQ(a[200], 0.0);

  inputtest::reset_reader_state();
  o = run([&] { wakro_readmatx(101, 1, a); });
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console.substr(0, o.console.find(kRule)),
            " READMATX: at most         100 rows can be read, asked for         101\n");
  o = run([&] { wakro_readmatx(2, 4, a); });
  EXPECT_EQ(o.console.substr(0, o.console.find(kRule)),
            " READMATX: the matrix holds fewer than           4 columns\n");
  std::array<double, 2> x{};
  std::array<double, 3> y{};
  o = run([&] { wakro_readxy(3, x, y); });
  EXPECT_EQ(o.console.substr(0, o.console.find(kRule)),
            " READXY: the arrays hold fewer than           3 pairs\n");
}
