// The NetBIOS name query halden-sim sends to learn when a device's nmbd answers for its name, and
// the reading of the answer, which comes from the network.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sw::sim {

constexpr std::size_t kNameQuerySize = 50;

// A broadcast name query (type 0x20, the file server) for `name`, as a client resolving "\\NAME"
// sends it: the name upper-cased, padded with blanks to 15 bytes (cut there), in first-level
// encoding.
std::vector<std::uint8_t> NameQuery(const std::string& name, std::uint16_t transaction);

// True when `reply` (`size` bytes) is a positive answer to `query`: the same transaction, a
// response, return code 0, at least one answer record.
bool IsPositiveNameAnswer(const std::vector<std::uint8_t>& query, const std::uint8_t* reply, std::size_t size);

}  // namespace sw::sim
