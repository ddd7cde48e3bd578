// wakro_percentcomplete and wakro_screenplot (see console_progress.h).
#include "output/console_progress.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "diag/console.h"
#include "diag/outmsg.h"
#include "model/assorc.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_s4.h"
#include "model/outppp.h"
#include "model/snpdat.h"
#include "output/messages.h"

namespace {

constexpr int kColumns = 51;
constexpr std::int32_t kNoRun = std::numeric_limits<std::int32_t>::min();

std::int32_t g_seen_run = kNoRun;  // run the progress count belongs to
std::int32_t g_next = 0;           // step count of the next progress line
bool g_heading_due = true;         // the plot heading is still to be printed

std::int32_t tenth_of_run() { return static_cast<std::int32_t>(std::lround(0.1 * wakro::steps_of_run())); }

void plot_heading() {
  outmsg(wakro::output::message::kTitle, 0, 0, 0, 0.0, 0.0, assorc::title.view());
  if (e_s1::delt < 1e-6) outmsg(wakro::output::message::kTimeInMicroseconds);
  outmsg(wakro::output::message::kPlotScale, 0, 0, 0, outppp::pmin, outppp::pmax);
  char frame[kColumns + 2];
  frame[0] = 'I';
  std::fill_n(frame + 1, kColumns, '-');
  frame[kColumns + 1] = 'I';
  outmsg(wakro::output::message::kPlotFrame, 0, 0, 0, 0.0, 0.0, std::string_view(frame, sizeof frame));
}

}  // namespace

void wakro_percentcomplete(std::int32_t guiFlag) {
  if (guiFlag != 0 || wakro::steps_of_run() <= 0) return;
  if (ctrl::mmm != g_seen_run) {
    g_next = tenth_of_run();
    g_seen_run = ctrl::mmm;
  }
  if (g_next + snpdat::iiisnp > ctrl::iii) return;
  const double done = 100.0 * (ctrl::iii - snpdat::iiisnp) / static_cast<double>(wakro::steps_of_run());
  outmsg(wakro::output::message::kPercentComplete, static_cast<std::int32_t>(std::lround(done)));
  // Whoever watches the run (a terminal, a pipe, a log file) sees each line
  // when it is written, not when the buffer happens to fill.
  wakro::console().flush();
  g_next += tenth_of_run();
}

void wakro_screenplot() {
  if (g_heading_due) {
    g_heading_due = false;
    plot_heading();
  }
  char row[kColumns + 2];
  row[0] = 'I';
  std::fill_n(row + 1, kColumns, ' ');
  row[kColumns + 1] = 'I';
  const double range = outppp::pmax - outppp::pmin;
  const std::int32_t n = std::min({outppp::jplt, 10, e_s4::pgb.allocated() ? e_s4::pgb.extent(1) : 0});
  for (std::int32_t i = 1; i <= n && range != 0.0 && std::isfinite(range); ++i) {
    double x = (e_s4::pgb(i) - outppp::pmin) * 50.0 / range;
    if (std::isnan(x)) continue;
    int column = 1;
    if (x > 60.0) x = 60.0;
    if (x >= -60.0) column = static_cast<int>(std::trunc(x + 0.5)) + 1;
    column = std::clamp(column, 1, kColumns);
    row[column] = static_cast<char>('0' + i % 10);
  }
  outmsg(wakro::output::message::kPlotRow, 0, 0, 0, e_s1::time, 0.0, std::string_view(row, sizeof row));
}

namespace wakro {
std::int64_t steps_of_run() { return std::int64_t{ctrl::ndelt} + (snpdat::iiisnp >= 1 ? 1 : 0); }

void reset_console_progress() {
  g_seen_run = kNoRun;
  g_next = 0;
  g_heading_due = true;
}
}  // namespace wakro
