// The folders and files halden-sim writes, usually as root, on a machine other users share: a
// folder is used only when it is ours and no one else can change what is in it or swap it, and a
// disk file only when it is a plain file of ours, reached without following a link.
#pragma once

#include <cstdint>
#include <string>

namespace sw::sim {

// A new folder (mode 0700) `prefix`.XXXXXX in `parent`; empty (and *error) when it cannot be made.
std::string MakePrivateFolder(const std::string& parent, const std::string& prefix, std::string* error);

// `path` made ready for our files: created (mode 0700) when missing, then accepted only when it is
// a folder owned by us that group and others cannot write, every folder above it belongs to us or
// root and is writable by others only when sticky, and no link on the way belongs to anyone else.
// *resolved gets the folder's path without links.
bool UsePrivateFolder(const std::string& path, std::string* resolved, std::string* error);

// The file `name` of `folder`, created (mode 0600, sparse) when missing and given `size` bytes
// when its size differs. Refused, untouched, when `name` is a link or anything but a regular file
// of ours with a single name (a hard link would let its other name be written through it).
bool PrepareDiskFile(const std::string& folder, const std::string& name, std::uint64_t size, std::string* error);

}  // namespace sw::sim
