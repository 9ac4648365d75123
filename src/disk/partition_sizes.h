#pragma once
// The size checks of the Partition dialog and of the partition wizard, in their order, with their
// texts and captions; and the number readings they rest on. Nothing here touches a disk: every
// check runs before anything is written.

#include <cstdint>
#include <optional>
#include <string>

namespace sw::disk {

constexpr const char* kFat32TooLargeText = "FAT32 partition cannot exceed 32768Mb";
constexpr const char* kFat32TooSmallText = "FAT32 partition cannot be less than 512Mb";
constexpr const char* kExceedsAvailableText = "Partition size exceeds space available";
constexpr const char* kBelowEightText = "Partition size cannot be less than 8Mb";
constexpr const char* kSelectFormatTypeText = "Please Select Format Type.";
constexpr const char* kInvalidSizeText = "Invalid partition size.";
constexpr const char* kWizardBelowEightText = "Invalid partition size.\nPartition must be greater than 8Mb";
constexpr const char* kUnableToPartitionText = "Unable to partition disk.";
constexpr const char* kDiskUnavailableText = "Unable to partition disk. Disk unavailable.";
constexpr const char* kWizardOtherCaption = "Ra DUROV";
constexpr const char* kWarningCaption = "Warning";

constexpr std::uint32_t kMinimumPartitionMiB = 8;
constexpr std::uint32_t kMinimumFat32MiB = 512;
constexpr std::uint32_t kMaximumFat32MiB = 32768;

// Which caption a refusal's message box carries.
enum class RefusalCaption {
  Default,   // the framework's default application caption
  Product,   // the program's window caption
  Other,     // kWizardOtherCaption
  Warning,   // kWarningCaption
};

struct SizeRefusal {
  std::string text;
  RefusalCaption caption = RefusalCaption::Default;
};

// What the Windows C library's strtoul(text, nullptr, 10) gives with a 32-bit unsigned long:
// leading blanks, an optional sign, the leading digits; a '-' negates modulo 2^32; an overflow
// gives 4294967295; no digits give 0. "-5" reads 4294967291.
std::uint32_t ReadUnsigned32(const std::string& text);

// The wizard's digit test: an optional leading '-' and then one or more digits, nothing else.
bool IsSizeNumber(const std::string& text);

struct FileSystemChoice {
  bool ntfs = false;
  bool fat32 = false;
};

// The Partition dialog's checks on `requested` (already read from the size text): FAT32 upper and
// lower bounds, the available space, the 8 MiB minimum, then the file-system choice.
std::optional<SizeRefusal> CheckPartitionSize(std::uint32_t requested, std::uint32_t availableMiB,
                                              FileSystemChoice choice);

// The wizard's checks. With `useMaximum` the size is `diskMiB`; otherwise `sizeText` is read.
// On success `requested` holds the size. The file-system choice is checked last, still before
// the table is written: without one the wizard would partition the disk and never format it.
std::optional<SizeRefusal> CheckWizardSize(bool useMaximum, const std::string& sizeText, std::uint32_t diskMiB,
                                           FileSystemChoice choice, std::uint32_t& requested);

// "Megabytes (Avaliable: %ld MB)" with the available MiB.
std::string AvailableSizeLabel(std::uint32_t availableMiB);

}  // namespace sw::disk
