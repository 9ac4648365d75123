// halden-sim's datagram answerer over any datagram: it reads only what arrived, answers with the
// reply opcode of the request and the requester's ClientId, fits one datagram, and moves a device
// only to a dotted address.

#include <cstring>
#include <string>
#include <vector>

#include "device_peer.h"
#include "fabric/fabric.h"
#include "fuzz_client.h"

using sw::protocol::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const sw::fabric::Fabric fabric = [] {
    sw::fabric::Fabric f;
    std::string error;
    Require(sw::fabric::LoadFabric(sw::fabric::DefaultFabricJson(), &f, &error));
    return f;
  }();
  // An exact-size copy, so that any read past what was received is caught.
  std::vector<std::uint8_t> datagram(data, data + size);
  for (const sw::fabric::Device& config : fabric.devices) {
    sw::sim::DeviceState device(config);
    sw::sim::Reply reply;
    if (!sw::sim::AnswerDatagram(device, datagram.data(), datagram.size(), &reply)) continue;
    const std::vector<std::uint8_t>& b = reply.bytes;
    Require(b.size() >= 11 && b.size() <= 4096 && size >= 11);
    const std::uint8_t request = datagram[0];
    Require((request == sw::sim::kOpDiscover && (b[0] == sw::sim::kOpDiscoverReply || b[0] == sw::sim::kOpDiscoverReplyExt)) ||
            (request == sw::sim::kOpQuery && b[0] == sw::sim::kOpQueryReply) ||
            (request == sw::sim::kOpSet && b[0] == sw::sim::kOpSetReply));
    Require(std::memcmp(b.data() + 1, datagram.data() + 1, 10) == 0);
    if (reply.changesAddress) {
      sw::fabric::Ipv4Bytes address;
      Require(sw::fabric::ParseDottedQuad(reply.newAddress, &address));
      sw::sim::ApplyAddressChange(&device, reply);
      Require(device.address == reply.newAddress);
    }
  }
  return 0;
}
