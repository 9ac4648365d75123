// POSIX socket helpers shared by halden-sim and the hostile test peer. Linux only: these programs
// run inside the private network namespaces that scripts/netns-run builds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sw::sim::net {

// UDP socket bound to the wildcard address and port 13579, member of 224.0.0.1 on the given
// interface (index 0: the interface the kernel routes the group to). -1 and *error on failure.
int OpenGroupReceiver(unsigned ifindex, std::string* error);

// UDP socket for replies, bound to `address` when that address is local (so replies leave from
// the device's own address); unbound otherwise. Multicast goes out of `ifindex` (0: by route),
// loop-back off, TTL 1.
int OpenSender(const std::string& address, unsigned ifindex, std::string* warning);

bool SendTo(int fd, const uint8_t* data, size_t size, const std::string& ip, uint16_t port);

// Non-blocking TCP listener on address:port; -1 and *error on failure.
int OpenTcpListener(const std::string& address, int port, std::string* error);

// Runs a program with arguments (no shell) and waits; true when it exited with status 0.
bool RunProgram(const std::vector<std::string>& argv);

unsigned InterfaceIndex(const std::string& name);

// Dotted text of a sockaddr_in's address.
std::string PeerAddress(const void* sockaddrIn);

}  // namespace sw::sim::net
