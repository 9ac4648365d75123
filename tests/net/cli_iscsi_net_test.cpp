// seekwell-cli's iSCSI road against halden-sim: one command after another over one simulated
// machine kept in a state folder, from the list to a formatted disk and back.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "fabric/json.h"
#include "net_fixture.h"

namespace sw::nettest {
namespace {

constexpr double kStateLockWaitSeconds = 5;  // seekwell-cli's wait for the state folder's lock

constexpr const char* kFabric = R"({"devices": [
  {"name": "CLI-NAS", "address": "10.77.5.1", "nodeId": "02:00:00:00:05:01", "gateway": "10.77.0.1",
   "announcement": "extended", "iscsi": true, "adminPassword": "", "shares": ["Volume_1"],
   "targets": [
     {"name": "iqn.2009-11.com.halden:cli.disk1", "auth": "none", "sizeMiB": 64},
     {"name": "iqn.2009-11.com.halden:cli.disk2", "auth": "CHAP", "user": "cliuser", "secret": "clisecret123",
      "sizeMiB": 32},
     {"name": "iqn.2009-11.com.halden:cli.\"x\" & del", "auth": "none", "sizeMiB": 8}]}]})";

struct CliRun {
  int status = -1;
  std::string out;
};

CliRun Cli(const std::string& environment, const std::string& arguments) {
  CliRun run;
  FILE* p = popen((environment + " " + SW_CLI_PATH + " --device 10.77.5.1 " + arguments + " 2>/dev/null").c_str(), "r");
  if (p == nullptr) return run;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) run.out.append(buffer, n);
  const int status = pclose(p);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

json::Value Json(const CliRun& run) {
  json::Value value;
  json::ParseError error;
  EXPECT_TRUE(json::Parse(run.out, &value, &error)) << json::Describe(error) << "\n" << run.out;
  return value;
}

std::string Active(const CliRun& list, const std::string& name) {
  const json::Value rows = Json(list);
  for (const auto& row : rows.AsArray()) {
    const json::Value* rowName = row.Find("name");
    if (rowName != nullptr && rowName->AsString() == name) return row.Find("active")->AsString();
  }
  return "(no row)";
}

std::string Shell(const std::string& command) {
  std::string out;
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (p == nullptr) return out;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  out += "exit " + std::to_string(WEXITSTATUS(pclose(p)));
  return out;
}

TEST(CliIscsiNetTest, ConnectPrepareAndDisconnectAcrossRuns) {
  std::string why;
  ASSERT_TRUE(InTestNamespace(&why)) << why;
  const std::string fabric = WriteScratchFile("cli-iscsi-fabric", kFabric);
  Peer sim;
  ASSERT_TRUE(sim.Start(PeerNamespaces().at(0), HaldenSimPath(), {"--fabric", fabric, "--interface", "eth0"}));
  const std::string state = fabric + ".state";
  const std::string disks = fabric + ".disks";  // the devices' LUN files, as halden-sim shares them
  const std::string env = "SEEKWELL_FABRIC=" + fabric + " SEEKWELL_SIM_STATE=" + state + " SEEKWELL_SIM_DISKS=" + disks;

  CliRun list = Cli(env, "--json iscsi list");
  ASSERT_EQ(list.status, 0) << list.out;
  EXPECT_EQ(Json(list).AsArray().size(), 2u) << "the hostile name gets no row:\n" << list.out;
  EXPECT_EQ(Active(list, "cli.disk1"), "NO");
  EXPECT_EQ(Cli(env, "iscsi connect 'iqn.2009-11.com.halden:cli.\"x\" & del'").status, 1);

  // CHAP: the values the device names, checked before any login runs.
  EXPECT_EQ(Cli(env, "iscsi connect cli.disk2").status, 1);
  EXPECT_EQ(Cli(env, "iscsi connect cli.disk2 --chap-user cliuser --chap-secret wrongsecret1").status, 1);
  EXPECT_EQ(Cli(env, "iscsi connect cli.disk2 --chap-user cliuser --chap-secret short").status, 1);
  EXPECT_EQ(Active(Cli(env, "--json iscsi list"), "cli.disk2"), "NO");
  EXPECT_EQ(Cli("echo clisecret123 | " + env, "iscsi connect cli.disk2 --chap-user cliuser --chap-secret-stdin").status, 0);

  CliRun connect = Cli(env, "--json iscsi connect iqn.2009-11.com.halden:cli.disk1");
  ASSERT_EQ(connect.status, 0) << connect.out;
  EXPECT_TRUE(Json(connect).Find("connected")->AsBool());
  EXPECT_TRUE(Json(connect).Find("newDisk")->AsBool()) << connect.out;
  list = Cli(env, "--json iscsi list");
  EXPECT_EQ(Active(list, "cli.disk1"), "YES");
  EXPECT_EQ(Active(list, "cli.disk2"), "YES");

  EXPECT_EQ(Cli(env, "iscsi prepare cli.disk1 --fs fat32 --max").status, 1) << "64 MiB is too small for FAT32";
  EXPECT_EQ(Cli(env, "iscsi prepare cli.disk1 --fs ntfs --letter C:").status, 1) << "C: is taken";
  CliRun prepare = Cli(env, "--json iscsi prepare cli.disk1 --fs ntfs --letter F:");
  ASSERT_EQ(prepare.status, 0) << prepare.out;
  EXPECT_EQ(Json(prepare).Find("volume")->AsString(), "F:\\");
  EXPECT_EQ(Json(prepare).Find("fileSystem")->AsString(), "NTFS");
  const std::string image = disks + "/10.77.5.1_iqn.2009-11.com.halden_cli.disk1.img";
  EXPECT_EQ(Shell("ls " + state + " | grep -c img"), "0\nexit 1") << "the state folder holds no copy of a disk";
  EXPECT_NE(Shell("sfdisk --verify " + image).find("exit 0"), std::string::npos) << Shell("sfdisk --dump " + image);
  const std::string blkid = Shell("blkid -p -O 32256 " + image);
  EXPECT_NE(blkid.find("TYPE=\"ntfs\""), std::string::npos) << blkid;
  EXPECT_NE(blkid.find("LABEL=\"iSCSI\""), std::string::npos) << blkid;
  EXPECT_EQ(Cli(env, "iscsi prepare cli.disk1 --fs ntfs").status, 1) << "a formatted disk needs --erase";

  // A LUN another host formatted whole (no partition table, an ext4 file system) is data too.
  const std::string image2 = disks + "/10.77.5.1_iqn.2009-11.com.halden_cli.disk2.img";
  ASSERT_NE(Shell("mkfs.ext4 -q -F " + image2).find("exit 0"), std::string::npos);
  const std::string ext4 = Shell("md5sum " + image2);
  EXPECT_EQ(Cli(env, "iscsi prepare cli.disk2 --fs ntfs").status, 1) << "an ext4 LUN needs --erase";
  EXPECT_EQ(Shell("md5sum " + image2), ext4);
  EXPECT_EQ(Cli(env, "iscsi prepare cli.disk2 --fs ntfs --erase").status, 0);

  CliRun disconnect = Cli(env, "--json iscsi disconnect cli.disk1");
  ASSERT_EQ(disconnect.status, 0) << disconnect.out;
  EXPECT_FALSE(Json(disconnect).Find("connected")->AsBool());
  EXPECT_EQ(Cli(env, "iscsi disconnect cli.disk1").status, 1) << "not connected any more";
  list = Cli(env, "--json iscsi list");
  EXPECT_EQ(Active(list, "cli.disk1"), "NO");
  EXPECT_EQ(Active(list, "cli.disk2"), "YES");

  // Back again, the disk keeps its volume and its letter: no new disk, nothing to prepare.
  connect = Cli(env, "--json iscsi connect cli.disk1");
  ASSERT_EQ(connect.status, 0) << connect.out;
  EXPECT_FALSE(Json(connect).Find("newDisk")->AsBool());
  EXPECT_EQ(Json(connect).Find("volume")->AsString(), "F:\\");
}

// The state folder of a run with no device to talk to: what happens before the discovery.
struct Timed {
  std::string out;  // standard output and error, and "exit N"
  double seconds = 0;
};
Timed CliTimed(const std::string& environment) {
  const auto start = std::chrono::steady_clock::now();
  Timed t;
  t.out = Shell(environment + " " + SW_CLI_PATH + " --device 10.77.9.9 iscsi list");
  t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return t;
}

// A state folder someone else owns or planted is refused before anything is read from it; the
// default is the user's own, closed to others; a second run waits for the first, then gives up.
TEST(CliIscsiNetTest, StateFolderIsPrivateAndUsedByOneRunAtATime) {
  std::string why;
  ASSERT_TRUE(InTestNamespace(&why)) << why;
  const std::string base = WriteScratchFile("cli-state-base", "") + ".d";
  Shell("mkdir -p " + base + "/foreign " + base + "/mine && chown nobody " + base + "/foreign && ln -s " + base +
        "/mine " + base + "/planted && chown -h nobody " + base + "/planted");
  Timed foreign = CliTimed("SEEKWELL_SIM_STATE=" + base + "/foreign");
  EXPECT_NE(foreign.out.find("belongs to user 65534"), std::string::npos) << foreign.out;
  EXPECT_NE(foreign.out.find("exit 2"), std::string::npos) << foreign.out;
  Timed planted = CliTimed("SEEKWELL_SIM_STATE=" + base + "/planted");
  EXPECT_NE(planted.out.find("is a link of user 65534"), std::string::npos) << planted.out;
  EXPECT_EQ(Shell("find " + base + "/foreign " + base + "/mine -mindepth 1 | grep -c ."), "0\nexit 1")
      << "nothing written";

  Timed fresh = CliTimed("env -u XDG_STATE_HOME HOME=" + base + "/home");
  EXPECT_NE(fresh.out.find("did not answer"), std::string::npos) << fresh.out;
  const std::string folder = base + "/home/.local/state/seekwell-cli";
  EXPECT_EQ(Shell("stat -c %a " + folder), "700\nexit 0");

  // Another run holds the folder for 2 s: this one waits, then goes on; for 9 s: it gives up.
  const std::string env = "SEEKWELL_SIM_STATE=" + folder;
  Shell("flock " + folder + "/lock sleep 2 >/dev/null 2>&1 & sleep 0.3");
  Timed waited = CliTimed(env);
  EXPECT_NE(waited.out.find("waiting for another seekwell-cli"), std::string::npos) << waited.out;
  EXPECT_NE(waited.out.find("did not answer"), std::string::npos) << waited.out;
  EXPECT_GE(waited.seconds, 1.5);
  Shell("flock " + folder + "/lock sleep 9 >/dev/null 2>&1 & sleep 0.3");
  Timed busy = CliTimed(env);
  EXPECT_NE(busy.out.find("is in use by another seekwell-cli"), std::string::npos) << busy.out;
  EXPECT_NE(busy.out.find("exit 2"), std::string::npos) << busy.out;
  EXPECT_GE(busy.seconds, kStateLockWaitSeconds);
  EXPECT_LT(busy.seconds, kStateLockWaitSeconds + 2);
}

}  // namespace
}  // namespace sw::nettest
