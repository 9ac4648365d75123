// The partition wizard's size checks; see whole_disk_size.h.

#include "disk/whole_disk_size.h"

namespace sw::disk {

namespace {
constexpr std::uint32_t kMinimumMiB = 8;
constexpr std::uint32_t kFat32MinimumMiB = 512;
constexpr std::uint32_t kFat32MaximumMiB = 32768;
}  // namespace

bool IsWizardSizeNumber(const std::string& text) {
  std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

std::uint32_t ParseUnsignedMiB(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::uint64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + static_cast<unsigned>(text[i] - '0');
    if (magnitude > 0xFFFFFFFFull) return 0xFFFFFFFFu;
  }
  const auto value = static_cast<std::uint32_t>(magnitude);
  return negative ? static_cast<std::uint32_t>(0u - value) : value;
}

std::optional<SizeRefusal> CheckWizardSize(bool useMaximum, const std::string& sizeText, std::uint32_t diskMiB,
                                           bool fat32, std::uint32_t& requestedMiB) {
  if (useMaximum) {
    if (diskMiB < kMinimumMiB) return SizeRefusal{kSizeBelow8Text, true};
    if (fat32 && diskMiB > kFat32MaximumMiB) return SizeRefusal{kFat32AboveText, true};
    if (fat32 && diskMiB < kFat32MinimumMiB) return SizeRefusal{kFat32BelowText, true};
    requestedMiB = diskMiB;
    return std::nullopt;
  }
  if (!IsWizardSizeNumber(sizeText)) return SizeRefusal{kInvalidSizeText, false};
  const std::uint32_t size = ParseUnsignedMiB(sizeText);
  if (size < kMinimumMiB) return SizeRefusal{kSizeBelow8Text, false};
  if (diskMiB < size) {
    return SizeRefusal{"Invalid partition size.\nPartition must be less than " +
                           std::to_string(static_cast<std::int32_t>(diskMiB)) + "Mb",
                       false};
  }
  if (fat32 && size < kFat32MinimumMiB) return SizeRefusal{kFat32BelowText, false};
  if (fat32 && size > kFat32MaximumMiB) return SizeRefusal{kFat32AboveText, false};
  requestedMiB = size;
  return std::nullopt;
}

}  // namespace sw::disk
