// The small administration page each played device serves on its HTTP port: the answer to one
// request, whatever bytes it holds. Device texts (name, shares) are escaped into the page.
#pragma once

#include <string>

#include "device_peer.h"

namespace sw::sim {

// The whole HTTP/1.0 response (status line, headers, and the body unless the method is HEAD) to
// `request`, the bytes received up to and including the blank line that ends its head: the page for
// GET or HEAD of "/" or "/index.html", else 400, 404 or 405 with a short page of its own.
std::string HttpResponse(const std::string& request, const DeviceState& state);

}  // namespace sw::sim
