// The device's own servers, played by Debian's daemons inside the device's network namespace:
// an iSCSI portal (tgtd) with the fabric's targets, LUNs and CHAP accounts, and SMB shares (smbd
// and nmbd) under the device's NetBIOS name. Every daemon binds the device's address only (nmbd
// also the subnet's broadcast address, to hear name queries) and is stopped with halden-sim.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "fabric/fabric.h"

namespace sw::sim {

// --- The SMB configuration, pure so that device-supplied text is checked in one place. ---

struct SmbAccount {
  std::string user;  // lower case, a valid account name
  std::string password;
};

struct SmbSetup {
  std::string config;                // smb.conf text
  std::vector<std::string> shares;   // the shares the configuration serves, in fabric order
  std::vector<SmbAccount> accounts;  // the fabric's share users, each once
  std::vector<std::string> skipped;  // one line per share or user left out, saying why
};

// Builds the configuration of one device: NetBIOS name = device name, bound to address/prefix,
// state under stateDir, share N at /mnt/sN (stateDir/shares/sN, which smbd sees there). A share whose name the configuration
// cannot carry safely (control characters, brackets, "%", a name Samba keeps for itself...) or
// whose user or password cannot be an account is left out and listed in `skipped`; a share
// with credentials is never served to guests. Empty config when the device name cannot be a
// NetBIOS name.
SmbSetup BuildSmbSetup(const fabric::Device& device, const std::string& address, int prefixLength,
                       const std::string& stateDir);

// --- The daemons of one device. ---

class DeviceServers {
 public:
  using Clock = std::chrono::steady_clock;

  struct Settings {
    std::string stateDir;    // private to this device; created (0700), and removed by Stop
    std::string diskFolder;  // the LUN backing files (shared with the simulated initiator): a
                             // folder UsePrivateFolder accepted
    bool verbose = false;
  };

  DeviceServers(const fabric::Device& device, Settings settings);
  ~DeviceServers() { Stop(); }
  DeviceServers(const DeviceServers&) = delete;
  DeviceServers& operator=(const DeviceServers&) = delete;

  // Starts the daemons for the device at `address`; a missing package or a failed daemon is
  // logged and leaves that service out (the UDP side goes on). False only on a setup error.
  bool Start(const std::string& address, int prefixLength);
  // True once every started service answers (the portal is configured, smbd accepts on 445,
  // nmbd answers a query for the name); polled by the caller until its deadline.
  bool PollReady();
  // The one-line start-up and memory report (--verbose).
  std::string Report() const;
  // The portal and the shares follow a change of the device's address.
  void MoveTo(const std::string& address, int prefixLength);
  // Stops every daemon started for this device (including the helpers Samba forks, and nothing
  // it did not start) and removes the state folder. Safe to call more than once.
  void Stop();

 private:
  bool StartPortal();
  bool StartShares(bool firstTime);
  void StopShares();
  bool Tgtadm(const std::vector<std::string>& args);
  bool AddTgtAccount(const std::string& user, const std::string& secret, std::string* error);
  void Log(const std::string& line) const;

  fabric::Device device_;
  Settings settings_;
  std::string address_;
  int prefixLength_ = 16;
  int controlPort_ = -1;
  pid_t tgtd_ = -1;
  pid_t smbd_ = -1;
  pid_t nmbd_ = -1;
  std::string netbiosName_;
  Clock::time_point started_;
  double portalSeconds_ = -1;
  double sharesSeconds_ = -1;
  double nameSeconds_ = -1;
  long memoryKiB_ = 0;
  long tgtdKiB_ = 0;
  bool stopped_ = true;
};

// Stops every child of this process the devices' servers left (helpers adopted after their
// parent ended), and reaps them: at the very end, when every DeviceServers has stopped.
void StopOwnChildren();

}  // namespace sw::sim
