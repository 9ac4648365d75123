#pragma once
// Port to Windows' format library: load "fmifs.dll", resolve its entry points by name, call
// FormatEx. Backends: format_engine_win32.cpp (LoadLibraryA of the library's full path in the
// system folder, GetProcAddress on that handle, the real FormatEx; the handle is never freed) and
// format_engine_sim.cpp (the simulated machine's fmifs.dll: a real file system written into the
// partition's bytes on a simulated disk).

#include <cstdint>

namespace sw::disk::fmt {

constexpr const char* kFormatLibraryName = "fmifs.dll";
constexpr const char* kFormatExName = "FormatEx";
constexpr const char* kEnableVolumeCompressionName = "EnableVolumeCompression";

constexpr std::int32_t kMediaHardDisk = 12;  // FMIFS_HARDDISK
constexpr int kCommandProgress = 0;          // data: 32-bit percent
constexpr int kCommandDone = 11;             // data: one-byte boolean, non-zero on success

// Called on the thread that called FormatEx, as FormatEx reports; true to continue.
using FormatCallback = bool (*)(int command, std::uint32_t subAction, void* data);

using EntryPoint = void*;

// Loads kFormatLibraryName from the system folder (never by a search, which would look in the
// program's folder first); false when it cannot be loaded.
bool LoadFormatLibrary();
// GetProcAddress of `name` in the library loaded above; null when absent.
EntryPoint FindFormatEntryPoint(const char* name);

// FormatEx(driveRoot, mediaType, fileSystem, label, quick, clusterSize, callback), all texts
// UTF-16 and NUL-terminated. Returns when the format has ended.
void CallFormatEx(EntryPoint formatEx, const char16_t* driveRoot, std::int32_t mediaType, const char16_t* fileSystem,
                  const char16_t* label, bool quick, std::uint32_t clusterSize, FormatCallback callback);

}  // namespace sw::disk::fmt
