// halden-sim's administration page over any request and any device texts: one well-formed
// HTTP/1.0 response whose length header is its body's length, nothing of the request echoed into
// it, and the device's name and share names escaped into the page.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>

#include "fuzz_client.h"
#include "http_page.h"

using sw::protocol::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  sw::fabric::Device device;
  device.name = in.ConsumeRandomLengthString(64);
  device.address = "10.77.0.10";
  for (int i = in.ConsumeIntegralInRange<int>(0, 3); i > 0; --i) device.shares.push_back(in.ConsumeRandomLengthString(32));
  const sw::sim::DeviceState state(device);
  const std::string request = in.ConsumeRemainingBytesAsString();

  const std::string response = sw::sim::HttpResponse(request, state);
  const std::size_t headEnd = response.find("\r\n\r\n");
  Require(headEnd != std::string::npos);
  const std::string head = response.substr(0, headEnd + 4);
  const std::string body = response.substr(headEnd + 4);
  Require(head.rfind("HTTP/1.0 200 OK\r\n", 0) == 0 || head.rfind("HTTP/1.0 400 Bad Request\r\n", 0) == 0 ||
          head.rfind("HTTP/1.0 404 Not Found\r\n", 0) == 0 || head.rfind("HTTP/1.0 405 Method Not Allowed\r\n", 0) == 0);
  const std::size_t length = head.find("Content-Length: ");
  Require(length != std::string::npos);
  const std::size_t declared = std::stoul(head.substr(length + 16));
  Require(body.empty() || declared == body.size());  // empty only as the answer to HEAD
  Require(!body.empty() || request.find("HEAD") != std::string::npos);
  // Markup comes only from the page: a device text never opens a tag of its own, so the page has
  // as many '<' as the same page for plain texts.
  sw::fabric::Device plain = device;
  plain.name = "N";
  for (std::string& share : plain.shares) share = "s";
  const std::string reference = sw::sim::HttpResponse(request, sw::sim::DeviceState(plain));
  auto tags = [](const std::string& text) { return std::count(text.begin(), text.end(), '<'); };
  Require(tags(body) == tags(reference));
  return 0;
}
