#pragma once
// The size checks of the partition wizard, before anything is written: the whole disk (when
// "Use Maximum Available Space" is checked) or the typed number of MiB, against the disk and the
// file system. Each refusal carries its text and the caption its message box has.

#include <cstdint>
#include <optional>
#include <string>

namespace sw::disk {

constexpr const char* kWizardSizeCaption = "Ra DUROV";
constexpr const char* kInvalidSizeText = "Invalid partition size.";
constexpr const char* kSizeBelow8Text = "Invalid partition size.\nPartition must be greater than 8Mb";
constexpr const char* kFat32AboveText = "FAT32 partition cannot exceed 32768Mb";
constexpr const char* kFat32BelowText = "FAT32 partition cannot be less than 512Mb";

struct SizeRefusal {
  std::string text;
  bool windowCaption = false;  // the program's window caption; otherwise kWizardSizeCaption
};

// An optional '-' and then digits only, at least one.
bool IsWizardSizeNumber(const std::string& text);
// The text as the 32-bit unsigned decimal that strtoul gives on Windows: leading digits, a '-'
// negating modulo 2^32, and 4294967295 for a magnitude past 32 bits.
std::uint32_t ParseUnsignedMiB(const std::string& text);

// The checks in the wizard's order. `sizeText` is read only when `useMaximum` is false. On success
// `requestedMiB` is the size to write.
std::optional<SizeRefusal> CheckWizardSize(bool useMaximum, const std::string& sizeText, std::uint32_t diskMiB,
                                           bool fat32, std::uint32_t& requestedMiB);

}  // namespace sw::disk
