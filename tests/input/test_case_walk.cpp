// The walk over a map file that every map-reading pass shares: it takes what
// the case reader takes (the first DIMENSIONS: and the PARAMETERS: after it,
// the sections it reads) and nothing it skips (a later DIMENSIONS: or
// PARAMETERS:, IGNORE: and unknown keys with the INCLUDE lines in them), and
// reads nothing of the files open below the map.
#include <string>
#include <string_view>
#include <vector>

#include "files/linereader.h"
#include "files/units.h"
#include "input/case_walk.h"
#include "input_fixture.h"
#include "model/dim.h"
#include "model/fnames.h"
#include "model/ndde.h"

namespace {

using Line72 = wakro::FixedText<72>;

// "<tag><text>" (built by appending: GCC's restrict warning on a literal +
// string would stop the build).
std::string tagged(std::string tag, std::string_view text) { return tag.append(text); }

// Every line and key the walk hands over, in order.
class Recorder final : public wakro::CaseWalk {
 public:
  explicit Recorder(bool pages) : pages_(pages) {}
  bool enters_pages() const override { return pages_; }
  void dimension_line(const Line72& line) override { seen.push_back(tagged("D", line.trimmed())); }
  void parameter_line(const Line72& line) override { seen.push_back(tagged("P", line.trimmed())); }
  bool page_entry(wakro::PageContext& page) override {
    seen.push_back(tagged("M ", fnames::filename.trimmed()));
    return CaseWalk::page_entry(page);
  }
  void section(const Line72& key, wakro::PageContext& page) override {
    seen.push_back(tagged("S ", key.trimmed()));
    CaseWalk::section(key, page);
  }
  std::vector<std::string> seen;

 private:
  bool pages_;
};

struct Row {
  const char* name;
  std::string map;
  bool pages;
  std::vector<std::string> seen;
};

const std::string kOpening = "DIMENSIONS:\n NNODES = 9\nPARAMETERS:\n TIME_STEP = 5E-5\n";

class CaseWalkTest : public inputtest::InputTest {};

TEST_F(CaseWalkTest, TakesWhatTheCaseReaderTakesAndNothingItSkips) {
  write("subs.inc", "SUBS:\n 1\nENDFILE\n");
  write("p1.dta", "STOF:\n 1 2.0\nFOO:\nINCLUDE 'subs.inc'\nENDPAGE\n");
  const std::vector<std::string> opening = {"D NNODES = 9", "P TIME_STEP = 5E-5"};
  auto with_opening = [&](std::vector<std::string> rest) {
    rest.insert(rest.begin(), opening.begin(), opening.end());
    return rest;
  };
  const Row rows[] = {
      {"RepeatedOpeningSections",
       "DIMENSIONS:\n NNODES = 9\nDIMENSIONS:\n NPAGES = 3\nPARAMETERS:\n TITLE = 'a'\n TITLE = 'b'\n"
       "PARAMETERS:\n TITLE = 'c'\nDIMENSIONS:\n NPAGES = 4\nSUBS:\n 1\nENDCASE:\n",
       false,
       {"D NNODES = 9", "P TITLE = 'a'", "P TITLE = 'b'", "S SUBS:"}},
      {"IncludeInSkippedSections",
       kOpening + "IGNORE:\nINCLUDE 'subs.inc'\nBAR:\n TIME_STEP = 1\nINCLUDE 'subs.inc'\nDATADSD:\n"
                  "INCLUDE 'subs.inc'\nENDFILE\nINCLUDE 'subs.inc'\nSTOI:\nINCLUDE 'subs.inc'\nENDCASE:\n",
       false,
       with_opening({"S STOI:", "S SUBS:"})},
      {"PagesEnteredOrNot", kOpening + "MAP: p1.dta\n 1 2 1 2\n 0 0\nSTOI:\n 1 1\nENDCASE:\n", true,
       with_opening({"M p1.dta", "S STOF:", "S STOI:"})},
      {"PagesNotEntered", kOpening + "MAP: p1.dta\n 1 2 1 2\n 0 0\nSTOI:\n 1 1\nENDCASE:\n", false,
       with_opening({"M p1.dta", "S STOI:"})},
      // The case reader stops at an entry that does not read, or at a map of
      // another opening, and so does the walk.
      {"EntryThatDoesNotRead", kOpening + "MAP: p1.dta\n 1 x\nSTOI:\n 1 1\nENDCASE:\n", true, with_opening({"M p1.dta"})},
      // The channel names (as many as the map's PGBS) and description lines
      // are read whole, as text: not as a page entry or an INCLUDE line.
      {"ListsReadAsText",
       "DIMENSIONS:\n NNODES = 9\n PGBS = 2\nPARAMETERS:\nPGBList:\nVout\nMAP: p1.dta\nDATAStruct:\n 2\n"
       "INCLUDE 'subs.inc'\nENDCASE:\nSTOI:\n 1 1\nENDCASE:\n",
       true,
       {"D NNODES = 9", "D PGBS = 2", "S PGBList:", "S PGBList:", "S DATAStruct:", "S DATAStruct:", "S STOI:"}},
      {"NoParameters", "DIMENSIONS:\n NNODES = 9\nSUBS:\n 1\nENDCASE:\n", false, {"D NNODES = 9"}},
      {"NoDimensions", "PARAMETERS:\n TIME_STEP = 5E-5\nENDCASE:\n", false, {}},
  };
  ndde::e_ndim(dim::nnodes) = 9;  // read before any walk (it bounds a page entry)
  for (const Row& row : rows) {
    write("case.map", row.map);
    Recorder walk(row.pages);
    const inputtest::Outcome o = run([&] { wakro::walk_map_file("case.map", walk); });
    EXPECT_EQ(o.status, -1) << row.name << o.console;
    EXPECT_EQ(walk.seen, row.seen) << row.name;
    EXPECT_EQ(fnames::iunit, wakro::kUnitBase) << row.name;
  }
}

// A walk over a map opened above another file leaves that file where it was,
// even when the map ends in "ENDPAGE", and gives back the reader's state.
TEST_F(CaseWalkTest, ReadsNothingOfTheFileBelowIt) {
  write("below.txt", "ONE:\nTWO:\n");
  write("case.map", kOpening + "SUBS:\n 1\nENDPAGE\n");
  fnames::filename = "below.txt";
  wakro_openfile();
  rdcmnt();
  Recorder walk(true);
  const inputtest::Outcome o = run([&] { wakro::walk_map_file("case.map", walk); });
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(walk.seen.back(), "S SUBS:");
  EXPECT_EQ(fnames::iunit, wakro::kUnitBase + 1);
  EXPECT_EQ(fnames::section.trimmed(), "ONE:");
  EXPECT_EQ(fnames::filename.trimmed(), "below.txt");
  rdcmnt();
  EXPECT_EQ(fnames::section.trimmed(), "TWO:");
  wakro_closefile();
}

}  // namespace
