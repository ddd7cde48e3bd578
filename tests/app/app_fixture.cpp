#include "app_fixture.h"

#include "model/e_s0.h"
#include "model/e_s4.h"

#include "app/stoprun.h"
#include "support/shared_state.h"

namespace app_test {

void fake_dsdyn() {
  FakeCase& c = *fake;
  c.dynSteps.push_back(ctrl::iii);
  c.dynTimes.push_back(e_s1::time);
  if (e_s1::laststep) c.lastStepAt.push_back(ctrl::iii);
  e_s2::nexc += c.nexcPerStep;
  storage::nstorf += 2;
  if (c.extraStorfOnOddSteps && ctrl::iii % 2 == 1) storage::nstorf += 1;
  storage::nstxfrf += c.dynStxfrf;
  rt_config::nrtcf += c.stepRtcf;
  if (ctrl::iii == c.stopAtStep) wakro_stoprun(c.stopMode);
}

void fake_dsout() {
  FakeCase& c = *fake;
  storage::nstxfrf += c.outStxfrf;
  storage::nstorf += 1;
  if (c.badFromStep < 0 || ctrl::iii < c.badFromStep) return;
  if (c.badNode > 0) e_s0::vdc(c.badNode, 1) = c.badValue;
  if (c.badChannel > 0) e_s4::pgb(c.badChannel) = c.badValue;
}

void fake_dsdyn_begin() {
  ++fake->beginCalls;
  rt_config::nrtcf += fake->beginRtcf;
}

void fake_percent(bool) {
  ++fake->outputSteps;
  fake->outputAt.push_back(ctrl::iii);
}

void fake_nothing() {}
void fake_nothing_i(std::int32_t) {}

void AppTest::SetUp() {
  redirect_ = new wakro::ConsoleRedirect(out_);
  redirectErr_ = new wakro::ConsoleRedirect(err_, true);
  wakro_test::reset_shared_state();
  fake = &case_;
  wakro::Seams& s = wakro::seams();
  s.dsdyn = &fake_dsdyn;
  s.dsout = &fake_dsout;
  s.dsdyn_begin = &fake_dsdyn_begin;
  s.wakro_percentcomplete = &fake_percent;
  // The fake case has no dialogue, no case file and no network: the services
  // every real case must plug in are plugged in here as doing nothing, and a
  // test that watches one of them replaces it.
  s.dialog = s.dialogv3 = s.readdata = s.dsout_begin = s.set_klu = s.intsolvi = &fake_nothing;
  s.wakro_outputfile = s.wakro_outputfilebin = &fake_nothing_i;
  s.wakro_screenplot = &fake_nothing;
  // What the fake case starts from beyond the shared reset: its map file, no
  // output channels, and room in the old-style and typed stores.
  fnames::inam = "case.map";
  outppp::jplt = 0;
  ndde::nd10 = 100;
  ndde::nd27 = ndde::nd28 = ndde::nd29 = ndde::nd30 = 100;
}

void AppTest::TearDown() {
  fake = nullptr;
  wakro_test::reset_shared_state();
  delete redirectErr_;
  delete redirect_;
}

void AppTest::data_start(double delt, double fintim, double print) {
  assorc::input = "DATA";
  e_s1::delt = delt;
  e_s1::fintim = fintim;
  e_s1::print = print;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(c);
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace app_test
