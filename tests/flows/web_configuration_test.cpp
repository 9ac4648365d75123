// The Configuration button over the headless UI, the simulated registry and the simulated program
// launcher: which command line opens the device's page for each browser registration.

#include <gtest/gtest.h>

#include "app/device_port.h"
#include "app/seekwell_app.h"
#include "app/seekwell_dlg.h"
#include "fake_device_port.h"
#include "host/registry.h"
#include "simulated_machine.h"
#include "resource.h"
#include "share/reachability.h"
#include "ui/headless.h"

namespace sw::app {
namespace {

namespace hl = ui::headless;
using Strings = std::vector<std::string>;

class WebConfigurationFlow : public test::MachineTest {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    hl::Reset();
    SetDevicePort(&port);
    port.devices = {{"NAS1", "10.77.0.11"}};
    share::SetProbeStandIn([this](const std::string& url) {
      probes.push_back(url);
      return probeAnswer;
    });
  }
  void TearDown() override {
    test::MachineTest::TearDown();
    share::SetProbeStandIn({});
    SetDevicePort(nullptr);
  }

  static void RegisterBrowser(const std::string& name, const std::string& command) {
    host::RegistryKey clients;
    ASSERT_TRUE(clients.Create(host::RegistryRoot::LocalMachine, "Software\\Clients\\StartMenuInternet"));
    ASSERT_TRUE(clients.WriteString("", name));
    host::RegistryKey open;
    ASSERT_TRUE(open.Create(host::RegistryRoot::LocalMachine,
                            "Software\\Clients\\StartMenuInternet\\" + name + "\\shell\\open\\command"));
    ASSERT_TRUE(open.WriteString("", command));
  }

  // Selects the device (unless `select` is false), presses Configuration; the command lines run.
  Strings Configure(bool select = true) {
    Strings lines;
    hl::ScriptModal(IDD_SEEKWELL_DIALOG, [&](ui::CDialog& d) {
      if (select) {
        EXPECT_TRUE(hl::ClickRow(d, IDC_DEVICE_LIST, 0));
      }
      EXPECT_TRUE(hl::Click(d, IDC_CONFIGURATION));
      EXPECT_EQ(hl::CurrentCursorResource(), 0);
      hl::Click(d, IDC_EXIT);
    });
    CSeekwellApp app;
    ui::RunApplication(app);
    for (const auto& launch : machine.programs.Launches()) {
      EXPECT_EQ(launch.showCommand, 0u);
      lines.push_back(launch.commandLine);
    }
    return lines;
  }

  test::FakeDevicePort port;
  Strings probes;
  share::ProbeAnswer probeAnswer = share::ProbeAnswer::Reachable;
};

TEST_F(WebConfigurationFlow, ABrowserNamedIeOpensThePageThroughTheShell) {
  RegisterBrowser("IEXPLORE.EXE", "\"C:\\Program Files\\Internet Explorer\\iexplore.exe\"");
  EXPECT_EQ(Configure(), Strings{"explorer http://10.77.0.11"});
  EXPECT_EQ(probes, Strings{"http://10.77.0.11"});
  EXPECT_TRUE(hl::MessageBoxes().empty());
}

TEST_F(WebConfigurationFlow, AnotherBrowserRunsItsQuotedOpenCommandWithTheAddress) {
  const std::string command = "\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\"";
  machine.programs.Install("C:\\Program Files\\Mozilla Firefox\\firefox.exe");
  RegisterBrowser("FIREFOX.EXE", command);
  EXPECT_EQ(Configure(), Strings{command + " http://10.77.0.11"});

  // The IE test is case-sensitive: a lower-case "ie" in the name is just another browser.
  machine.programs.Reset();
  machine.programs.Install("C:\\Tools\\movie.exe");
  RegisterBrowser("movie", "C:\\Tools\\movie.exe");
  EXPECT_EQ(Configure(), Strings{"C:\\Tools\\movie.exe http://10.77.0.11"});
}

TEST_F(WebConfigurationFlow, AMissingOrBrokenRegistrationFallsBackToTheShell) {
  // Nothing registered: a blank and the address, which cannot start, then explorer.
  EXPECT_EQ(Configure(), (Strings{" http://10.77.0.11", "explorer http://10.77.0.11"}));

  machine.programs.Reset();
  RegisterBrowser("Gone", "\"C:\\Gone\\gone.exe\" -url");
  EXPECT_EQ(Configure(), (Strings{"\"C:\\Gone\\gone.exe\" -url http://10.77.0.11", "explorer http://10.77.0.11"}));
}

TEST_F(WebConfigurationFlow, WithoutASelectedDeviceOnlyTheWarningShows) {
  EXPECT_TRUE(Configure(false).empty());
  EXPECT_TRUE(probes.empty());
  ASSERT_EQ(hl::MessageBoxes().size(), 1u);
  EXPECT_EQ(hl::MessageBoxes()[0].text, "Please select a device to configure.");
  EXPECT_EQ(hl::MessageBoxes()[0].caption, "Warning");
  EXPECT_EQ(hl::MessageBoxes()[0].flags, ui::kMbIconExclamation);
}

TEST_F(WebConfigurationFlow, AnUnreachableDeviceOpensNothingAndIsSearchedAgain) {
  probeAnswer = share::ProbeAnswer::Unreachable;
  const int discoversBefore = port.discovers;
  EXPECT_TRUE(Configure().empty());
  ASSERT_EQ(hl::MessageBoxes().size(), 1u);
  EXPECT_EQ(hl::MessageBoxes()[0].text, "Device is no longer available.");
  // The start-up pass and the new search, two DISCOVERs each.
  EXPECT_EQ(port.discovers, discoversBefore + 4);
}

}  // namespace
}  // namespace sw::app
