// The ports of the ENI line ends asked on the console when a run resumes from a
// snapshot without the design environment: servers and clients in line order,
// once per process, never under the design environment; an answer that is no
// port number stops the run.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "diag/console.h"
#include "model/ctrl.h"
#include "model/dim.h"
#include "model/e_s7.h"
#include "model/e_s7eni.h"
#include "model/ndde.h"
#include "model/quolbv3.h"
#include "snapshot/archive.h"
#include "support/fatal_capture.h"
#include "support/shared_state.h"

namespace snapshot_test {
namespace {

class EniPorts : public ::testing::Test {
 protected:
  void SetUp() override { prepare(); }
  // (Again after a stop, which releases the case-sized arrays.)
  static void prepare() {
    wakro_test::reset_shared_state();
    // Three lines: a client end, an ordinary line, a server end.
    ndde::nd58 = 3;
    ndde::e_ndim(dim::tlines_total) = 3;
    e_s7::linemodel.allocate(3, 13);
    e_s7eni::line_name.allocate(3);
    e_s7eni::eni_host.allocate(2);
    e_s7eni::eni_server_port.allocate(1);
    e_s7eni::eni_client_port.allocate(1);
    e_s7eni::eni_server = 1;
    e_s7eni::eni_client = 1;
    e_s7::linemodel(1, 4) = 2;
    e_s7::linemodel(3, 4) = 1;
    e_s7eni::line_name(1) = "west tie";
    e_s7eni::line_name(2) = "local";
    e_s7eni::line_name(3) = "east tie";
    quolbv3::guisoc = 0;
    ctrl::firstrun = true;
  }
  void TearDown() override {
    wakro::snapshot::set_port_input(nullptr);
    wakro_test::reset_shared_state();
  }
  // Runs the questions with the answers; the console and the stop status.
  std::pair<std::string, int> ask(const std::string& answers) {
    std::istringstream in(answers);
    wakro::snapshot::set_port_input(&in);
    std::ostringstream out;
    int status = -1;
    {
      wakro::ConsoleRedirect to(out);
      status = wakro_test::fatal_status([] { wakro::snapshot::eni_ports(); });
    }
    return {out.str(), status};
  }
};

TEST_F(EniPorts, EachEndIsAskedOnceInLineOrder) {
  const auto [console, status] = ask("5001\n 6002 \n");
  EXPECT_EQ(status, -1);
  EXPECT_EQ(console,
            " Enter port number for ENI client west tie\n"
            " Enter port number for ENI server east tie\n");
  EXPECT_EQ(e_s7eni::eni_client_port(1), 5001);
  EXPECT_EQ(e_s7eni::eni_server_port(1), 6002);
  EXPECT_EQ(e_s7eni::eni_host(1).trimmed(), "localhost");  // the server end
  EXPECT_EQ(e_s7eni::eni_host(2).trimmed(), "localhost");  // after the servers, the client end
}

TEST_F(EniPorts, NotAskedOnLaterRunsOrUnderTheDesignEnvironment) {
  ctrl::firstrun = false;
  EXPECT_EQ(ask("1\n2\n").first, "");
  ctrl::firstrun = true;
  quolbv3::guisoc = 1;
  EXPECT_EQ(ask("1\n2\n").first, "");
  EXPECT_EQ(e_s7eni::eni_client_port(1), 0);
}

TEST_F(EniPorts, AnAnswerThatIsNoPortStops) {
  for (const char* answers : {"", "abc\n", "-5\n", "5001x\n"}) {
    prepare();
    const auto [console, status] = ask(answers);
    EXPECT_EQ(status, 2000) << answers;
    EXPECT_NE(console.find(" ***ERROR** WAKRO: No valid ENI port number was entered\n"), std::string::npos)
        << console;
  }
}

}  // namespace
}  // namespace snapshot_test
