#pragma once
// What the simulated format needs of the machine it runs on: Linux programs started by their
// path, file paths as those programs see them, and sparse file work. Backends:
// format_tools_posix.cpp (natively: fork/exec, SEEK_DATA, hole punching) and format_tools_wine.cpp
// (the Windows build of the simulation, which runs under Wine: Wine's spawn call on the Unix path
// and its path translation).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sw::disk::tools {

// The path a Linux program must be given for `path`, a file of this process; empty when there is
// none (a Windows that is not Wine).
std::string ToolFilePath(const std::string& path);

// True when the Linux program `toolPath` exists and may be run.
bool ToolExists(const std::string& toolPath);

// Runs `argv[0]` (a Linux path) with the rest as its arguments, output discarded, and waits.
// Its exit status, or -1 when it could not be started.
int RunTool(const std::vector<std::string>& argv);

// A new file of `size` bytes that holds no data (sparse). Refused when anything (a file, a link) is
// at `path` already: the file is written, so it must be the one made here.
bool CreateEmptyFile(const std::string& path, std::uint64_t size);
void RemoveFile(const std::string& path);

// Makes bytes [offset, offset + length) of `path` read as zeros, without changing its size or any
// other byte (a hole where the file system has them).
bool ZeroFileRange(const std::string& path, std::uint64_t offset, std::uint64_t length);

// Writes every byte of `from` that is not in a hole (or not zero, where holes cannot be told)
// into `to` at `offset`; `to` keeps its size. The rest of `to` is left as it is.
bool CopyFileData(const std::string& from, const std::string& to, std::uint64_t offset);

}  // namespace sw::disk::tools
