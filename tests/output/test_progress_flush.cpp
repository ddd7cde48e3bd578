// Progress lines reach whoever watches the run as they are written: each line
// is flushed, so a pipe or a log file shows it at once, not at the end.
#include <sstream>
#include <string>

#include "output_fixture.h"

namespace outputtest {
namespace {

// A stream buffer that hands on what it holds only when it is flushed: the
// text a reader of the pipe would see so far.
class FlushedText : public std::stringbuf {
 public:
  std::string seen;

 protected:
  int sync() override {
    seen = str();
    return 0;
  }
};

using ProgressFlush = OutputTest;

TEST_F(ProgressFlush, EachProgressLineIsFlushedWhenItIsWritten) {
  FlushedText buffer;
  std::ostream stream(&buffer);
  wakro::ConsoleRedirect redirect(stream);
  ctrl::ndelt = 100;
  for (ctrl::iii = 1; ctrl::iii <= 10; ++ctrl::iii) wakro_percentcomplete(0);
  const std::string first = " => This run is  10% complete.\n";
  EXPECT_EQ(buffer.seen, first);
  for (ctrl::iii = 11; ctrl::iii <= 19; ++ctrl::iii) wakro_percentcomplete(0);
  EXPECT_EQ(buffer.seen, first);
  ctrl::iii = 20;
  wakro_percentcomplete(0);
  EXPECT_EQ(buffer.seen, first + " => This run is  20% complete.\n");
}

}  // namespace
}  // namespace outputtest
