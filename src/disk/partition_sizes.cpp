// Size checks of the partition dialogs (see partition_sizes.h).

#include "disk/partition_sizes.h"

#include <cstdio>

namespace sw::disk {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
}  // namespace

std::uint32_t ReadUnsigned32(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::uint64_t value = 0;
  bool overflow = false;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
    if (value > 0xFFFFFFFFull) {
      overflow = true;
      value = 0xFFFFFFFFull;
    }
  }
  if (overflow) return 0xFFFFFFFFu;
  const auto result = static_cast<std::uint32_t>(value);
  return negative ? static_cast<std::uint32_t>(0u - result) : result;
}

bool IsSizeNumber(const std::string& text) {
  std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
  if (i >= text.size()) return false;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return false;
  }
  return true;
}

std::optional<SizeRefusal> CheckPartitionSize(std::uint32_t requested, std::uint32_t availableMiB,
                                              FileSystemChoice choice) {
  if (requested > kMaximumFat32MiB && choice.fat32) return SizeRefusal{kFat32TooLargeText};
  if (requested < kMinimumFat32MiB && choice.fat32) return SizeRefusal{kFat32TooSmallText};
  if (requested > availableMiB) return SizeRefusal{kExceedsAvailableText};
  if (requested < kMinimumPartitionMiB) return SizeRefusal{kBelowEightText};
  if (!choice.ntfs && !choice.fat32) return SizeRefusal{kSelectFormatTypeText, RefusalCaption::Warning};
  return std::nullopt;
}

std::optional<SizeRefusal> CheckWizardSize(bool useMaximum, const std::string& sizeText, std::uint32_t diskMiB,
                                           FileSystemChoice choice, std::uint32_t& requested) {
  std::uint32_t size = 0;
  if (useMaximum) {
    size = diskMiB;
    if (size < kMinimumPartitionMiB) return SizeRefusal{kWizardBelowEightText, RefusalCaption::Product};
    if (size > kMaximumFat32MiB && choice.fat32) return SizeRefusal{kFat32TooLargeText, RefusalCaption::Product};
    if (size < kMinimumFat32MiB && choice.fat32) return SizeRefusal{kFat32TooSmallText, RefusalCaption::Product};
  } else {
    if (!IsSizeNumber(sizeText)) return SizeRefusal{kInvalidSizeText, RefusalCaption::Other};
    size = ReadUnsigned32(sizeText);
    if (size < kMinimumPartitionMiB) return SizeRefusal{kWizardBelowEightText, RefusalCaption::Other};
    if (diskMiB < size) {
      char text[96];
      std::snprintf(text, sizeof text, "Invalid partition size.\nPartition must be less than %dMb",
                    static_cast<int>(diskMiB));
      return SizeRefusal{text, RefusalCaption::Other};
    }
    if (size < kMinimumFat32MiB && choice.fat32) return SizeRefusal{kFat32TooSmallText, RefusalCaption::Other};
    if (size > kMaximumFat32MiB && choice.fat32) return SizeRefusal{kFat32TooLargeText, RefusalCaption::Other};
  }
  if (!choice.ntfs && !choice.fat32) return SizeRefusal{kSelectFormatTypeText, RefusalCaption::Warning};
  requested = size;
  return std::nullopt;
}

std::string AvailableSizeLabel(std::uint32_t availableMiB) {
  char text[64];
  std::snprintf(text, sizeof text, "Megabytes (Avaliable: %ld MB)", static_cast<long>(static_cast<std::int32_t>(availableMiB)));
  return text;
}

}  // namespace sw::disk
