// The target list assembled from whatever the initiator's WMI classes hold: the portal clean-up,
// the rows and their status, the click on a row. Names in the list are lower case and sorted, one
// row each; every line run is one of the tool's templates.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>

#include "fuzz_client.h"
#include "fuzz_wmi.h"
#include "iscsi/iscsi_name.h"
#include "iscsi/target_list.h"

using sw::protocol::fuzz::Require;
using namespace sw::iscsi;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  fuzz::Processes() = {&in, {}};
  auto services = std::make_unique<fuzz::FuzzWmi>(in);
  fuzz::FuzzWmi* wmiLog = services.get();
  CWmiWrapper wmi(std::move(services));
  const std::string device = in.ConsumeBool() ? "10.77.0.11" : in.ConsumeRandomLengthString(20);
  const int justStarted = in.ConsumeIntegralInRange<int>(0, 1);

  RemoveAllTargetPortals(wmi, justStarted);
  AddDevicePortal(wmi, device);
  TargetListState state;
  const TargetStatus status = RefreshTargetStatus(wmi, device, justStarted, state);

  // A name comes once per portal group at the device's address (normally one), sorted.
  Require(std::is_sorted(state.TargetNames.begin(), state.TargetNames.end()));
  for (const std::string& name : state.TargetNames) Require(name == LowerAscii(name));
  Require(status.rows.size() == (justStarted == 1 ? 0 : state.TargetNames.size()));
  for (const TargetRow& row : status.rows) {
    Require(row.status.empty() || row.status == kStatusConnected || row.status == kStatusNotConnected);
  }
  Require(status.enableManagement == !state.TargetNames.empty() && !status.enableConnect);
  // A query names a target only between its two quotes.
  for (const std::string& q : wmiLog->queries) Require(std::count(q.begin(), q.end(), '\'') % 2 == 0);
  Require(fuzz::RecordedLinesAreWellFormed());

  const int row = in.ConsumeIntegralInRange<int>(-1, static_cast<int>(status.rows.size()));
  const std::string name = row >= 0 && row < static_cast<int>(status.rows.size()) ? status.rows[row].name : "";
  const TargetClick click = OnTargetListClick(static_cast<int>(status.rows.size()), row, name,
                                              in.ConsumeRandomLengthString(8), state);
  if (click.setConnectText) Require(click.connectText == "Connect" || click.connectText == "Disconnect");
  fuzz::Processes() = {};
  return 0;
}
