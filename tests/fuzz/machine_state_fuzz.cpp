// seekwell-cli's saved machine state (Machine::ImportState) over any text. "$IMAGES" in the input
// stands for the private image folder, which holds a.img, a link link.img to it, and sub/b.img.
// A refused document changes nothing; an accepted one names only regular files directly in the
// image folder as session disks, and what the machine then saves reads back to itself.

#include <fuzzer/FuzzedDataProvider.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_client.h"
#include "sim_fuzz_folder.h"
#include "winsim/machine.h"

namespace {

using sw::protocol::fuzz::Require;
namespace fs = std::filesystem;
namespace winsim = sw::winsim;

const std::string& Folder() {
  static const std::string folder = [] {
    const fs::path root(winsim::fuzz::ImageFolder());
    fs::create_directories(root / "sub");
    std::ofstream(root / "a.img").put('\0');
    std::ofstream(root / "sub" / "b.img").put('\0');
    fs::resize_file(root / "a.img", 1 << 20);
    std::error_code ec;
    fs::create_symlink(root / "a.img", root / "link.img", ec);
    return root.string();
  }();
  return folder;
}

void Fresh(winsim::Machine& machine) {
  winsim::Settings settings;
  settings.volumeDelayMs = 0;
  machine.Reset(settings);
  machine.initiator.SetImageFolder(Folder());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  for (std::size_t at = 0; (at = text.find("$IMAGES", at)) != std::string::npos; at += Folder().size()) {
    text.replace(at, 7, Folder());
  }
  winsim::Machine& machine = winsim::TheMachine();
  Fresh(machine);
  const std::string empty = machine.ExportState();
  std::string error;
  if (!machine.ImportState(text, {Folder()}, &error)) {
    Require(!error.empty() && machine.ExportState() == empty);
    return 0;
  }
  for (const auto& disk : machine.initiator.SessionDisks()) {
    const fs::path image(disk.imagePath);
    std::error_code ec;
    Require(fs::weakly_canonical(image.parent_path(), ec) == fs::path(Folder()) &&
            fs::is_regular_file(fs::symlink_status(image, ec)));
  }
  const std::string saved = machine.ExportState();
  Fresh(machine);
  Require(machine.ImportState(saved, {Folder()}, &error));
  Require(machine.ExportState() == saved);
  return 0;
}
