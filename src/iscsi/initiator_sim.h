#pragma once
// The simulated iSCSI initiator (initiator_sim.cpp): one model per process, shared by the
// simulated process port (which hands it every "iscsicli" command line) and the simulated WMI
// port (which answers the initiator's classes from its snapshot); the disk port is fed from
// SessionDisks().
//
// What it shows is what the program relies on from the real initiator:
//   - installed exactly when the MSiSCSI service exists (host/service_control_sim.h); without it
//     "iscsicli" cannot be started and the initiator's WMI classes do not exist; with the service
//     not running the tool prints a failure and the classes are empty;
//   - adding a send-target portal discovers the targets the fabric's device at that address
//     offers (the fabric that the simulated network drives load, from SEEKWELL_FABRIC); a target
//     reached through two portals has two portal groups;
//   - a login checks the target (known through a portal), the initiator instance, the portal and,
//     for a CHAP target, the authentication type, user and secret; it creates a session with one
//     disk whose image file (sparse, the target's size) lives in the image folder and outlives
//     the session, so data stay on the "device"; it is the file halden-sim serves as that
//     target's LUN when both use the same folder (fabric::TargetImageFileName);
//   - a failed logout prints a text beginning with "The" after the tool's banner; a successful
//     one prints no "The".
// Disk numbers of session disks follow the local disks (disk 0 is the system disk); the lowest
// free number is taken.

#include <cstdint>
#include <string>
#include <vector>

#include "fabric/json.h"

namespace sw::iscsi::sim {

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

InitiatorSnapshot Snapshot();

// Runs the initiator tool with these arguments (args[0] being the program): false when the tool
// cannot be started (initiator not installed). `output` receives what the tool prints.
bool RunInitiatorTool(const std::vector<std::string>& args, std::string& output);

// Creates a send-target portal instance (what WMI's PutInstance does): 0, or a failure status
// when the service is not running, the address is empty, or no iSCSI device answers there.
std::int32_t AddSendTargetPortal(const std::string& address);

// A session's disk, as the disk port will see it.
struct SessionDisk {
  int diskNumber = -1;
  std::string imagePath;
  std::uint64_t sizeBytes = 0;
  std::string targetName;
};
std::vector<SessionDisk> SessionDisks();

// Controls.
void ResetInitiator();  // no portals, sessions, logins, devices; default names, folder and disk count
void SetInitiatorNames(const std::vector<std::string>& names);
// Folder of the disk images; default SEEKWELL_SIM_DISKS, else the fallback folder, else
// "seekwell-sim-disks" in the temporary folder. Created when the first image is made.
void SetImageFolder(const std::string& folder);
// The folder for the images when neither SetImageFolder nor SEEKWELL_SIM_DISKS names one. A
// program that keeps its state in a folder puts the images there, yet still uses the devices'
// own LUN files when an emulator shares them through SEEKWELL_SIM_DISKS.
void SetFallbackImageFolder(const std::string& folder);
void SetLocalDiskCount(int count);  // default 1
// The Active value of the connection statistics of every session to `target`.
void SetConnectionActive(const std::string& target, bool active);
// A session whose disk has a volume open: its logout fails with a "The ..." text until cleared.
void SetSessionInUse(const std::string& sessionId, bool inUse);
// The volume paths "iscsicli BindPersistentVolumes " adds (the disk port supplies them later).
void SetBindableVolumes(const std::vector<std::string>& volumePaths);
// Every tool run, as the argument list joined by single blanks.
std::vector<std::string> ToolRuns();

// The initiator's state (names, portals, sessions with their disks' images, persistent logins and
// devices) as one JSON object, so that a program run after this one finds the same initiator
// (disk/machine_state.h). Import replaces that state; false, with the model unchanged, when the
// value is not such an object. Settings (image folder, disk count, bindable volumes) are not part
// of it.
std::string ExportInitiatorState();
bool ImportInitiatorState(const json::Value& state, std::string* error);

}  // namespace sw::iscsi::sim
