#pragma once
// The ClientId the fuzz targets answer to; protocol.dict carries the same bytes.

#include "protocol/datagram.h"

namespace sw::protocol::fuzz {

inline ClientId TestClientId() {
  ClientId id;
  const std::uint8_t bytes[6] = {0xa1, 0xb2, 0xc3, 0xd4, 0xe5, 0xf6};
  for (int i = 0; i < 6; ++i) id.bytes[i] = bytes[i];
  return id;
}

}  // namespace sw::protocol::fuzz
