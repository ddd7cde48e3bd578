// The data-line reader on real files: the order in which a map file, its page
// files and include files are read, comments, Windows line ends, keywords, and
// the error paths with their file names and lines.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "files/linereader.h"
#include "files/listread.h"
#include "files/textfile.h"
#include "files/words.h"
#include "files_fixture.h"

using filestest::banner_tail;
using filestest::ff;
using filestest::pad72;

namespace {

const std::string kRule = " =========================================================\n";
// Component ids 4 and 9 as the free-format writer puts them after a message.
const std::string kIds49 = "[ " + std::string(10, ' ') + "4 : " + std::string(10, ' ') + "9 ]";

std::string context1(const std::string& dumlin, const std::string& file) {
  std::string name = file;
  name.resize(34, ' ');
  return kRule + " Following is the last read data line:\n " + pad72(dumlin) + "\n" +
         " Data file name: " + name + "...\n";
}

class LineReader : public filestest::FilesTest {
 protected:
  // Walks the input as the dimension pass does: opens a page at "MAP:", closes a
  // file at "ENDFILE:", and records every key and data line with its unit.
  std::vector<std::string> walk() {
    std::vector<std::string> events;
    for (;;) {
      rdcmnt();
      const std::string unit = std::string("@").append(std::to_string(fnames::iunit));
      if (rdcmnt_at_data()) {
        Line72 line;
        EXPECT_EQ(wakro::read_line72(line), wakro::ReadStatus::ok);
        std::string text(line.trimmed());
        text.erase(0, text.find_first_not_of(' '));
        events.push_back("D " + text + unit);
        continue;
      }
      events.push_back("K " + std::string(fnames::section.trimmed()) + unit);
      if (fnames::section == "ENDCASE:") return events;
      if (fnames::section == "MAP:") wakro_openfile();
      if (fnames::section == "ENDFILE:") wakro_closefile();
    }
  }
};

}  // namespace

TEST_F(LineReader, AMapFileLeadsThroughPagesAndIncludesInOrder) {
  write("case.map",
        "! map of the case\r\n"
        "DIMENSIONS:\r\n"
        " NODES = 3\r\n"
        "\r\n"
        "MAP: 'p1.dta'\r\n"
        " 0 1 2\r\n"
        "MAP: p2.dta\r\n"
        "ENDCASE:\r\n");
  write("p1.dta",
        "C comment in column 1\n"
        "c another\n"
        "BRANCHES:\n"
        " 1 2 0.5\n"
        "INCLUDE 'inc.dat'\n"
        "  /slash comment\n"
        " Cdata 1 2\n"
        "ENDPAGE\n");
  write("inc.dat", "   ! bang comment\n 7 8 9\nENDFILE\n");
  write("p2.dta", "VOLTAGES:\r\n 1 2.5\r\nENDPAGE:\r\n");
  fnames::inam = "case.map";
  open("case.map");
  EXPECT_EQ(fnames::iunit, 50);
  const std::vector<std::string> expected = {
      "K DIMENSIONS:@50", "D NODES = 3@50", "K MAP:@50",     "K BRANCHES:@51", "D 1 2 0.5@51",
      "K INCLUDE:@52",    "D 7 8 9@52",     "K ENDFILE:@52", "D Cdata 1 2@51", "D 0 1 2@50",
      "K MAP:@50",        "K VOLTAGES:@51", "D 1 2.5@51",    "K ENDCASE:@50"};
  EXPECT_EQ(walk(), expected);
  // The page file was popped by its ENDPAGE, and the reader names the file it
  // reads again.
  EXPECT_EQ(fnames::filename.trimmed(), "case.map");
  EXPECT_EQ(fnames::section.trimmed(), "ENDCASE:");
}

TEST_F(LineReader, ClassifiesCommentsKeysAndDataLines) {
  write("p.dta",
        "\n"
        "C comment\n"
        "c x\n"
        "  ! bang\n"
        "  /slash\n"
        "FOO: junk\n"
        " Cdata 1 2\n"
        "#####\n"
        "ENDFILEX\n"
        "Comment: with a colon is a key\n"
        "MAP: 'page.dta'\n");
  open("p.dta");
  rdcmnt();
  EXPECT_FALSE(rdcmnt_at_data());
  EXPECT_EQ(fnames::section.str(), pad72("FOO:"));
  EXPECT_EQ(fnames::dumlin.str(), pad72("FOO: junk"));
  rdcmnt();
  EXPECT_TRUE(rdcmnt_at_data());
  EXPECT_EQ(fnames::section.str(), pad72("FOO:"));
  Line72 line;
  ASSERT_EQ(wakro::read_line72(line), wakro::ReadStatus::ok);
  EXPECT_EQ(line.str(), pad72(" Cdata 1 2"));
  // "#####" has only skipped characters: its word is the line's last character,
  // a blank, so it is a comment like a blank line.
  rdcmnt();
  EXPECT_EQ(fnames::section.trimmed(), "ENDFILE:");
  EXPECT_EQ(fnames::iunit, 50);  // ENDFILE does not close
  rdcmnt();
  EXPECT_EQ(fnames::section.trimmed(), "Comment:");
  rdcmnt();
  EXPECT_EQ(fnames::section.trimmed(), "MAP:");
  EXPECT_EQ(fnames::filename.str(), pad72("page.dta"));
}

TEST_F(LineReader, LongLinesAreCutAtColumn72AndEchoedWithComments) {
  const std::string long_line = " 1 2 " + std::string(70, 'x') + "TAIL";
  write("p.dta", "C a comment\nSEC:\n" + long_line + "\r\n");
  open("p.dta");
  options::echo = true;
  const filestest::Outcome o = run([] {
    rdcmnt();
    rdcmnt();
  });
  EXPECT_EQ(o.status, -1);
  EXPECT_EQ(o.console, ff(pad72("C a comment")) + ff(pad72("SEC:")) + ff(long_line.substr(0, 72)));
  EXPECT_EQ(fnames::dumlin.str(), long_line.substr(0, 72));
  // A section reader that needs the whole record still gets it.
  std::string record;
  ASSERT_EQ(wakro::read_record(fnames::iunit, record), wakro::ReadStatus::ok);
  EXPECT_EQ(record, long_line);
}

TEST_F(LineReader, EndOfFileNamesTheFileBeingReadAndItsLastLine) {
  write("case.map", "DIMENSIONS:\nMAP: p1.dta\n 0 4\n");
  write("p1.dta", "SUBS:\n 1 2\nENDPAGE\n");
  open("case.map");
  const filestest::Outcome o = run([this] { walk(); });
  EXPECT_EQ(o.status, 2000);
  // The end comes in the map file after the page was popped: the map file is named.
  EXPECT_EQ(o.console, ff("End_Of_File while reading data file " + pad72("case.map")) +
                           context1(" 0 4", "case.map") + banner_tail("RDCMNT      "));

  filestest::reset_reader_state();
  write("p2.dta", "SUBS:\n 3 4\n");
  open("p2.dta");
  const filestest::Outcome o2 = run([this] { walk(); });
  EXPECT_EQ(o2.console, ff("End_Of_File while reading data file " + pad72("p2.dta")) +
                            context1(" 3 4", "p2.dta") + banner_tail("RDCMNT      "));
}

TEST_F(LineReader, AReadErrorNamesTheUnitAndTheLikelyFiles) {
  // A file opened for writing only cannot be read: the read fails.
  fnames::tnam = "case.map";
  fnames::filename = "wonly.txt";
  wakro_openfile1(2);
  const filestest::Outcome o = run([] { rdcmnt(); });
  EXPECT_EQ(o.status, 2000);
  std::string tnam = "case.map";
  tnam.resize(34, ' ');
  EXPECT_EQ(o.console.substr(0, o.console.find(kRule)),
            ff("Error Reading Unit#  " + std::string(9, ' ') + "50") +
                ff("Likely file names are: " + pad72("wonly.txt") + tnam) +
                ff("Reason: Bad file descriptor"));
  EXPECT_NE(o.console.find(banner_tail("RDCMNT      ")), std::string::npos);
}

TEST_F(LineReader, IncludeIsIgnoredWhileASectionIsSkipped) {
  write("p.dta", "SEC1:\n 1\nINCLUDE 'missing.dat'\n 2\nSEC2:\n 5\n");
  open("p.dta");
  rdcmnt();
  EXPECT_EQ(fnames::section.trimmed(), "SEC1:");
  wakro_nextkey();
  EXPECT_EQ(fnames::section.trimmed(), "SEC2:");
  EXPECT_EQ(fnames::iunit, 50);
}

TEST_F(LineReader, IncludeNestingStopsAtTwentyAndANamelessIncludeStops) {
  write("self.dat", "INCLUDE self.dat\n");
  open("self.dat");
  const filestest::Outcome o = run([] {
    for (;;) rdcmnt();
  });
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(fnames::iunit, 70);  // the opening file and twenty nested includes
  EXPECT_EQ(o.console.substr(0, o.console.find(kRule)),
            ff("WAKRO: INCLUDE nesting too deep: self.dat"));

  filestest::reset_reader_state();
  write("bad.dat", "INCLUDE\n");
  open("bad.dat");
  const filestest::Outcome o2 = run([] { rdcmnt(); });
  EXPECT_EQ(o2.console, ff("INCLUDE line without a file name") + context1("INCLUDE", "bad.dat") +
                            banner_tail("RDCMNT      "));
}

TEST_F(LineReader, GotoSectionMovesForwardToTheWantedKey) {
  write("Mod.dta", "DATADSD:\n 1 2\nC note\nDATADSO:\n 3 4\nENDPAGE:\n");
  open("Mod.dta");
  fnames::section = "DATADSO:";
  wakro_gotosection();
  EXPECT_EQ(fnames::section.trimmed(), "DATADSO:");
  double a = 0;
  double b = 0;
  ASSERT_EQ(wakro::list_read_unit(fnames::iunit, {a, b}), wakro::ReadStatus::ok);
  EXPECT_EQ(a, 3.0);
  EXPECT_EQ(b, 4.0);
}

TEST_F(LineReader, GotoSectionStopsAtTheEndOfItsOwnFile) {
  // The parent file holds the wanted key; the module file does not. The search
  // must not wander into the parent.
  write("Parent.dta", "DATAXXX:\n 9 9\nENDPAGE:\n");
  write("Mod.dta", "DATADSD:\n 1 2\nENDPAGE:\n 5\n");
  open("Parent.dta");
  rdcmnt();
  open("Mod.dta");
  fnames::section = "DATAXXX:";
  const filestest::Outcome o = run([] { wakro_gotosection(); });
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("ERROR: Could not find section: " + pad72("DATAXXX:")) +
                           context1("ENDPAGE:", "Mod.dta") + banner_tail("GOTOSECTION "));
  EXPECT_EQ(fnames::iunit, 51);
}

TEST_F(LineReader, OpenFailuresReportAndStop) {
  fnames::filename = "nofile.dta";
  filestest::Outcome o = run([] { wakro_openfile(); });
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("***ERROR** WAKRO: Error while opening file for read: nofile.dta: No "
                          "such file or directory") +
                           kRule + banner_tail("OPENFILE    "));
  EXPECT_EQ(fnames::iunit, 49);

  fnames::filename = "line1.tlo";
  o = run([] { wakro_openfile1(1); });
  EXPECT_EQ(o.console,
            ff("***ERROR** WAKRO: Error while opening file for read: line1.tlo: No such file or "
               "directory") +
                ff("WAKRO: Line/Cable Constants has not been") +
                ff("       solved for Line/Cable:line1") + ff("From Quolb:") +
                ff("  - Edit the Transmission Line or Cable.") + ff("  - Edit the sub-page.") +
                ff("  - Confirm Line Model Selection and Data.") +
                ff("  - Use the right button menu:") + ff("     - Create Input File") +
                ff("     - Solve Constants") + ff("     - Check for and Correct Errors.") + kRule +
                banner_tail("OPENFILE1   "));

  e_warn::comp_id1 = 4;
  e_warn::comp_id2 = 9;
  write("old.txt", "keep me\n");
  fnames::filename = "old.txt";
  o = run([] { wakro_openfile1(2); });
  EXPECT_EQ(
      o.console,
      ff("***ERROR** WAKRO: Error while opening file for write: old.txt: File exists" + kIds49) +
          kRule + banner_tail("OPENFILE1   "));
  fnames::filename = "no/such/dir.txt";
  o = run([] { wakro_openfile1(3); });
  EXPECT_EQ(
      o.console.substr(0, o.console.find(kRule)),
      ff("***ERROR** WAKRO: Error while opening file: no/such/dir.txt: No such file or directory" +
         kIds49));
}

TEST_F(LineReader, NamesThatAreNoFileAndLinesWithoutEndAreRefused) {
  // A folder, a device without end and a named pipe (whose open would wait for
  // a writer) as a page file or an include; a line longer than any reader takes.
  std::filesystem::create_directory("adir");
  ASSERT_EQ(::mkfifo("pipe", 0600), 0);
  write("inc.dta", "SEC:\nINCLUDE 'pipe'\n");
  write("long.dta", " 1\n" + std::string(wakro::kMaxTextLine + 1, 'x') + "\n");
  const std::string opening = "***ERROR** WAKRO: Error while opening file for read: ";
  const struct {
    std::string file, console;
  } cases[] = {
      {"adir", ff(opening + "adir: is a folder") + kRule + banner_tail("OPENFILE    ")},
      {"/dev/zero",
       ff(opening + "/dev/zero: is not a regular file") + kRule + banner_tail("OPENFILE    ")},
      {"pipe", ff(opening + "pipe: is not a regular file") + kRule + banner_tail("OPENFILE    ")},
      {"inc.dta",
       ff(opening + "pipe: is not a regular file") + kRule + banner_tail("OPENFILE    ")},
      {"long.dta",
       ff("***ERROR** WAKRO: Line too long: long.dta, line 2, is longer than 16777216 characters") +
           kRule + banner_tail("READRECORD  ")},
  };
  for (const auto& c : cases) {
    filestest::reset_reader_state();
    const filestest::Outcome o = run([&] {
      open(c.file);
      for (Line72 line;;) {
        rdcmnt();
        if (rdcmnt_at_data()) wakro::read_line72(line);
      }
    });
    EXPECT_EQ(o.status, 2000) << c.file;
    EXPECT_EQ(o.console, c.console) << c.file;
  }
}

TEST_F(LineReader, OpenModesAndTheUnitStack) {
  write("old.txt", "keep me\n");
  fnames::filename = "old.txt";
  wakro_openfile1(3);  // either way: an existing file is not cut
  EXPECT_EQ(fnames::iunit, 50);
  fnames::filename = "new.txt";
  wakro_openfile1(2);
  EXPECT_EQ(fnames::iunit, 51);
  std::fputs("written\n", wakro::unit_handle(51));
  wakro_closefile();
  EXPECT_EQ(fnames::filename.trimmed(), "old.txt");
  wakro_closefile();
  EXPECT_EQ(fnames::iunit, 49);
  EXPECT_EQ(read("old.txt"), "keep me\n");
  EXPECT_EQ(read("new.txt"), "written\n");
  const filestest::Outcome o = run([] { wakro_closefile(); });
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console,
            ff("WAKRO: No input file is open to close.") + kRule + banner_tail("CLOSEFILE   "));
}

TEST_F(LineReader, AFileOpenedEitherWayEndsWhereItsLastWriteEnded) {
  // A shorter text written over a longer file leaves nothing of the old text.
  write("old.snp", "line one\nline two\nline three\n");
  fnames::filename = "old.snp";
  wakro_openfile1(3);
  std::fputs("new\n", wakro::unit_handle(fnames::iunit));
  std::fflush(wakro::unit_handle(fnames::iunit));
  wakro_closefile();
  EXPECT_EQ(read("old.snp"), "new\n");

  // The same when the unit is closed with every other one after a fatal stop.
  fnames::filename = "old.snp";
  wakro_openfile1(3);
  std::fputs("x\n", wakro::unit_handle(fnames::iunit));
  wakro::close_all_units();
  EXPECT_EQ(read("old.snp"), "x\n");

  // Read, not written: everything stays, also what lies after the read.
  write("keep.txt", "a\nb\nc\n");
  fnames::filename = "keep.txt";
  wakro_openfile1(3);
  std::string record;
  ASSERT_EQ(wakro::read_record(fnames::iunit, record), wakro::ReadStatus::ok);
  EXPECT_EQ(record, "a");
  wakro_closefile();
  EXPECT_EQ(read("keep.txt"), "a\nb\nc\n");
}

TEST_F(LineReader, ABackslashInAFileNameSeparatesFolders) {
  std::filesystem::create_directory("lib");
  write("lib/x.tlo", "first\n");
  fnames::filename = "lib\\x.tlo";
  wakro_openfile1(1);
  std::string record;
  ASSERT_EQ(wakro::read_record(fnames::iunit, record), wakro::ReadStatus::ok);
  EXPECT_EQ(record, "first");
  // Messages keep the name as it was given.
  EXPECT_EQ(wakro::unit_file_name(fnames::iunit), "lib\\x.tlo");
}

TEST_F(LineReader, SkipCommentsStopsAtTheFirstOtherLine) {
  write("p.dta", "\n  ! note\n! more\n  data 1\n");
  open("p.dta");
  wakro_skipcmnt(50);
  std::string record;
  ASSERT_EQ(wakro::read_record(50, record), wakro::ReadStatus::ok);
  EXPECT_EQ(record, "  data 1");
  const filestest::Outcome o = run([] { wakro_skipcmnt(50); });
  EXPECT_EQ(o.status, -1);
  EXPECT_EQ(o.console, ff("SKIPCMNT: Unexpected End_Of_File"));
}
