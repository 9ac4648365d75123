#pragma once
// What the fuzz targets share: the ClientId they answer to (protocol.dict carries the same bytes),
// the abort that reports a broken promise, and the input read as what arrives on a socket.

#include <cstdint>
#include <cstdlib>

#include "protocol/datagram.h"
#include "scripted_socket_port.h"

namespace sw::protocol::fuzz {

inline ClientId TestClientId() {
  ClientId id;
  const std::uint8_t bytes[6] = {0xa1, 0xb2, 0xc3, 0xd4, 0xe5, 0xf6};
  for (int i = 0; i < 6; ++i) id.bytes[i] = bytes[i];
  return id;
}

inline void Require(bool condition) {
  if (!condition) std::abort();
}

// Fills the port's script from the input: records of a two-byte length and that many bytes (cut
// at the end of the input); length 0xFFFF is a failed read, 0xFFFE a poll that finds nothing.
// Silence follows the last record.
inline void ScriptFromRecords(const std::uint8_t* data, std::size_t size, test::ScriptedSocketPort& port) {
  std::size_t at = 0;
  while (at + 2 <= size) {
    const unsigned length = data[at] | data[at + 1] << 8;
    at += 2;
    if (length == 0xFFFE) {
      port.script.push_back(test::Silence());
    } else if (length == 0xFFFF) {
      port.script.push_back(test::ReadError());
    } else {
      const std::size_t n = length < size - at ? length : size - at;
      port.script.push_back(test::Datagram(test::Bytes(data + at, data + at + n)));
      at += n;
    }
  }
  port.whenEmpty = test::Silence();
}

}  // namespace sw::protocol::fuzz
