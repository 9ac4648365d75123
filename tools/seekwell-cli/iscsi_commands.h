#pragma once
// seekwell-cli's iSCSI road: list a device's targets, connect and disconnect one, and prepare a
// connected target's new disk as the partition wizard does (one whole-disk partition, its letter,
// the format, the persistent device). Each command runs over the same core and ports as the
// dialogs; on the simulated Windows the machine's state lives in a folder between commands.

#include <string>

namespace sw::cli {

struct IscsiOptions {
  bool json = false;
  bool verbose = false;
  std::string device;      // --device IP
  std::string command;     // list, connect, disconnect, prepare
  std::string target;      // full name, or the name after its prefix as the list shows it
  bool chapUserGiven = false;
  std::string chapUser;
  bool chapSecretGiven = false;    // --chap-secret S, or --chap-secret-stdin once read
  bool chapSecretFromStdin = false;
  std::string chapSecret;
  std::string fileSystem;  // prepare: "ntfs" or "fat32"
  std::string size;        // prepare: MiB as typed; empty with useMaximum
  bool useMaximum = false;
  std::string letter;      // prepare: "X:" (empty: the wizard's choice)
  bool erase = false;      // prepare: a disk holding partitions may be overwritten
  std::string stateFolder; // --state DIR (empty: SEEKWELL_SIM_STATE, else the user's own folder)
};

// The device's discovery and selection, and the clean-up after it, from the tool's main part.
struct DeviceHooks {
  bool (*select)();  // false (after saying why) when the device did not answer
  void (*shutdown)();
};

// Exit status: 0 done, 1 refused (by the tool's checks, the CHAP check or the device's
// credentials), 2 no answer, failure, or a bad command line.
int RunIscsiCommand(const IscsiOptions& options, const DeviceHooks& hooks);

// Usage lines of the iSCSI commands.
extern const char kIscsiUsage[];

}  // namespace sw::cli
