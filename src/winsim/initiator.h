#pragma once
// The simulated iSCSI initiator: send-target portals, the targets they discover (from the fabric's
// devices), sessions with their disks, persistent logins and devices. It executes the argument
// lists of "iscsicli" command lines and gives the WMI classes a snapshot.
//
// What it shows is what the program relies on from the real initiator:
//   - installed exactly when the MSiSCSI service exists; without it "iscsicli" cannot be started
//     and the initiator's WMI classes do not exist; with the service not running the tool prints a
//     failure and the classes are empty;
//   - adding a send-target portal discovers the targets the fabric's device at that address
//     offers; a target reached through two portals has two portal groups;
//   - a login checks the target (known through a portal), the initiator instance, the portal and,
//     for a CHAP target, the authentication type, user and secret; it creates a session with one
//     disk whose image file (sparse, the target's size) lies in the image folder and outlives the
//     session, so data stay on the "device"; it is the file halden-sim serves as that target's LUN
//     when both use the same folder (fabric::TargetImageFileName);
//   - a failed logout prints a text beginning with "The" after the tool's banner; a successful one
//     prints no "The".
// Session disks take the lowest disk number no local disk and no other session holds.

#include <cstdint>
#include <string>
#include <vector>

#include "fabric/fabric.h"

namespace sw::winsim {

class Machine;

constexpr const char* kDefaultInitiatorName = "iqn.1991-05.com.microsoft:seekwell-host";

struct PortalRecordSnapshot {
  std::string address;
  std::int32_t port = 3260;
};

struct TargetSnapshot {
  std::string name;
  std::vector<std::vector<PortalRecordSnapshot>> portalGroups;
};

struct SessionSnapshot {
  std::string sessionId;
  std::string targetName;
  int diskNumber = -1;
  bool active = true;
};

struct PersistentLoginSnapshot {
  std::string targetName;
  std::string initiatorInstance;
  std::string portalAddress;  // "*" when the login named none
};

struct InitiatorSnapshot {
  bool installed = false;  // the WMI classes exist
  bool running = false;    // the service runs; the classes have instances
  std::vector<std::string> initiatorNames;
  std::vector<PortalRecordSnapshot> sendTargetPortals;
  std::vector<TargetSnapshot> targets;
  std::vector<SessionSnapshot> sessions;
  std::vector<PersistentLoginSnapshot> persistentLogins;
  std::vector<std::string> persistentDevices;
};

// A session's disk, as the disk port sees it.
struct SessionDisk {
  int diskNumber = -1;
  std::string imagePath;
  std::uint64_t sizeBytes = 0;
  std::uint32_t bytesPerSector = 512;
  std::string targetName;
};

class Initiator {
 public:
  explicit Initiator(Machine& machine) : m_(machine) {}

  // No portals, sessions, logins, devices or tool runs; the default initiator name and folders.
  void Reset();

  InitiatorSnapshot Snapshot() const;
  // Runs "iscsicli" with `args` (args[0] the program): false when the tool cannot be started (not
  // installed); `output` receives what it prints.
  bool RunTool(const std::vector<std::string>& args, std::string& output);
  // PutInstance of MSiSCSIInitiator_SendTargetPortalClass: 0, or a failure status when the service
  // is not running, the address is empty, or no iSCSI device answers there.
  std::int32_t AddSendTargetPortal(const std::string& address);
  std::vector<SessionDisk> SessionDisks() const;

  void SetInitiatorNames(const std::vector<std::string>& names);
  // The folder of the disk images; empty: the settings' SEEKWELL_SIM_DISKS, else the fallback
  // folder, else a private folder this process makes in the temporary folder.
  void SetImageFolder(const std::string& folder);
  // The folder for the images when neither SetImageFolder nor SEEKWELL_SIM_DISKS names one: a
  // program that keeps its state in a folder puts the images there.
  void SetFallbackImageFolder(const std::string& folder);
  std::string ImageFolder() const;
  // The Active value of the connection statistics of every session to `target`.
  void SetConnectionActive(const std::string& target, bool active);
  // A session whose disk has a volume open: its logout fails with a "The ..." text until cleared.
  void SetSessionInUse(const std::string& sessionId, bool inUse);
  // The volume paths "iscsicli BindPersistentVolumes" adds.
  void SetBindableVolumes(const std::vector<std::string>& volumePaths);
  // Every tool run, as the argument list joined by single blanks.
  std::vector<std::string> ToolRuns() const;

  // The saved state (state_file.cpp reads and writes these).
  struct Portal {
    std::string address;
    std::int32_t port = 3260;
  };
  struct Session {
    std::string id;
    std::string target;  // as the device names it
    std::string portalAddress;
    int disk = -1;
    std::string imagePath;
    std::uint64_t sizeBytes = 0;
    std::uint32_t bytesPerSector = 512;
    bool active = true;
    bool inUse = false;
  };
  struct State {
    std::vector<std::string> initiatorNames{kDefaultInitiatorName};
    std::vector<Portal> portals;
    std::vector<Session> sessions;
    std::vector<PersistentLoginSnapshot> persistentLogins;
    std::vector<std::string> persistentDevices;
    unsigned nextSession = 1;
  };
  State SavedState() const;
  void RestoreState(State state);

 private:
  enum class Availability { Absent, Stopped, Running };
  struct Reachable {
    fabric::Target target;
    std::string portalAddress;
  };
  Availability CurrentAvailability() const;
  std::vector<Reachable> Discovered() const;
  std::string Execute(const std::vector<std::string>& a);
  std::string Login(const std::vector<std::string>& a, bool persistent);
  bool PrepareImage(const Reachable& r, std::string& path);
  int FreeDiskNumber() const;

  Machine& m_;
  State m_state;
  std::vector<std::string> m_bindableVolumes;
  std::vector<std::string> m_runs;
  std::string m_imageFolder;
  std::string m_fallbackImageFolder;
  mutable std::string m_privateFolder;
};

}  // namespace sw::winsim
