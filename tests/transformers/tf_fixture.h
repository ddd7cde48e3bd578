// Test fixture of the transformer room: the network fixture's small cases, sized
// for up to four transformers of three windings, with the winding tables of a
// transformer entered as the section reader enters them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include "files/units.h"
#include "model/dim.h"
#include "model/e_s5.h"
#include "model/e_s5tap.h"
#include "model/fnames.h"
#include "model/tf_subsystems.h"
#include "model/rt_config.h"
#include "network/sparse_fixture.h"
#include "support/temp_dir.h"
#include "transformers/dsmint.h"

namespace tftest {

class Transformers : public nettest::SparseNetwork {
 protected:
  void TearDown() override {
    nettest::SparseNetwork::TearDown();
    e_s5::jset = 0;
  }

  void size_tf(std::int32_t nodes, std::int32_t nbr, double delt, std::int32_t nss = 1,
               std::int32_t trafos = 4, std::int32_t windings = 3) {
    extra_dims_ = {{dim::windings, windings}, {dim::trafos, trafos}};
    size(nodes, nbr, nss, 0, delt);
    e_s5::jset = 0;  // as the driver sets it before a case is read
  }

  // A new transformer in subsystem ss (tss signed by `sign`) with the given
  // winding node pairs; returns its number.
  std::int32_t add_unit(std::int32_t ss, std::initializer_list<std::pair<std::int32_t, std::int32_t>> w,
                        std::int32_t sign = 1) {
    const std::int32_t k = ++e_s5::jset;
    e_s5::msiz(k) = static_cast<std::int32_t>(w.size());
    e_s5::nummag(k) = 0;
    e_s5tap::tss(k) = sign * ss;
    e_s5::mark_stale();
    ++e_s5::numt(ss);
    std::int32_t i = 0;
    for (const auto& [f, t] : w) {
      ++i;
      e_s5::mcb(i, k) = f;
      e_s5::ncb(i, k) = t;
    }
    return k;
  }

  // The record of a two-winding unit: R1, R2 and the inductive elements x11, x12, x22.
  static void record2(double r1, double r2, double x11, double x12, double x22) {
    rt_config::tfdata(1, 1) = r1;
    rt_config::tfdata(2, 1) = x11;
    rt_config::tfdata(1, 2) = 0.0;
    rt_config::tfdata(2, 2) = x12;
    rt_config::tfdata(3, 2) = r2;
    rt_config::tfdata(4, 2) = x22;
  }
};

// The transformers of a page's "TRANSFORMERS:" section, read from a data file
// in a work folder made under /tmp with the given prefix.
class SectionReader : public Transformers {
 protected:
  explicit SectionReader(std::string prefix) : prefix_(std::move(prefix)) {}
  void SetUp() override {
    Transformers::SetUp();
    ASSERT_TRUE(folder_.enter(prefix_));
  }
  void TearDown() override {
    wakro::close_all_units();
    fnames::tnam = wakro::FixedText<34>();
    folder_.leave();
    Transformers::TearDown();
  }
  // Reads `body` as the section's lines (then "ENDFILE").
  void read(const std::string& body) {
    wakro_test::write_file("page.dta", body + "ENDFILE\n");
    fnames::filename = wakro::FixedText<72>("page.dta");
    wakro_openfile();
    fnames::section = wakro::FixedText<72>("TRANSFORMERS:");
    std::int32_t page = 0;
    dsmint(page);
  }
  wakro_test::WorkFolder folder_;

 private:
  std::string prefix_;
};

}  // namespace tftest
