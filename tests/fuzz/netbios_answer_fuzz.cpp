// halden-sim's NetBIOS check: the query for any name is the 50-byte first-level encoding of the
// name as a client sends it, and an answer from the network, of any length and content, is read
// within its bytes and taken only when it is a positive response to that query.

#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <string>
#include <vector>

#include "fuzz_client.h"
#include "netbios_query.h"

using sw::protocol::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string name = in.ConsumeRandomLengthString(40);
  const std::uint16_t transaction = in.ConsumeIntegral<std::uint16_t>();
  const std::vector<std::uint8_t> query = sw::sim::NameQuery(name, transaction);
  Require(query.size() == sw::sim::kNameQuerySize && query[12] == 0x20 && query[45] == 0);
  std::string decoded;
  for (std::size_t i = 13; i < 45; i += 2) {
    Require(query[i] >= 'A' && query[i] <= 'P' && query[i + 1] >= 'A' && query[i + 1] <= 'P');
    decoded.push_back(static_cast<char>(((query[i] - 'A') << 4) | (query[i + 1] - 'A')));
  }
  std::string expected = name.substr(0, 15);
  for (char& c : expected) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  expected.resize(15, ' ');
  Require(decoded == expected + " ");

  // The answer in a buffer of exactly its size, so that reading past it is caught.
  const std::vector<std::uint8_t> answer = in.ConsumeRemainingBytes<std::uint8_t>();
  std::vector<std::uint8_t> exact(answer);
  if (sw::sim::IsPositiveNameAnswer(query, exact.data(), exact.size())) {
    Require(exact.size() >= 12 && exact[0] == query[0] && exact[1] == query[1] && (exact[2] & 0x80));
  }
  return 0;
}
