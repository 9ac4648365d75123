// The NetBIOS name query and its answer; see netbios_query.h.

#include "netbios_query.h"

#include "base/ascii_case.h"

namespace sw::sim {

std::vector<std::uint8_t> NameQuery(const std::string& name, std::uint16_t transaction) {
  std::vector<std::uint8_t> q = {static_cast<std::uint8_t>(transaction >> 8), static_cast<std::uint8_t>(transaction),
                                 0x01, 0x10, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0x20};
  std::string padded = base::UpperAscii(name.substr(0, 15));
  padded.resize(15, ' ');
  padded.push_back('\x20');
  for (char ch : padded) {
    const auto b = static_cast<std::uint8_t>(ch);
    q.push_back(static_cast<std::uint8_t>('A' + (b >> 4)));
    q.push_back(static_cast<std::uint8_t>('A' + (b & 0x0f)));
  }
  // End of the name, type NB, class IN.
  for (std::uint8_t b : {0x00, 0x00, 0x20, 0x00, 0x01}) q.push_back(b);
  return q;
}

bool IsPositiveNameAnswer(const std::vector<std::uint8_t>& query, const std::uint8_t* reply, std::size_t size) {
  return query.size() >= 2 && reply != nullptr && size >= 12 && reply[0] == query[0] && reply[1] == query[1] &&
         (reply[2] & 0x80) != 0 && (reply[3] & 0x0f) == 0 && (reply[6] | reply[7]) != 0;
}

}  // namespace sw::sim
