// The administration page of a played device; see http_page.h.

#include "http_page.h"

#include <sstream>

namespace sw::sim {

namespace {

std::string HtmlEscape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string Page(const DeviceState& s) {
  std::ostringstream page;
  std::string name = HtmlEscape(s.config.name);
  page << "<!DOCTYPE html>\n<html><head><title>" << name << " administration</title></head>\n"
       << "<body><h1>" << name << "</h1>\n<table>\n"
       << "<tr><td>IP address</td><td>" << s.address << "</td></tr>\n"
       << "<tr><td>Netmask</td><td>" << s.netmask << "</td></tr>\n"
       << "<tr><td>Gateway</td><td>" << s.gateway << "</td></tr>\n"
       << "<tr><td>DHCP</td><td>" << (s.dhcp ? "Enabled" : "Disabled") << "</td></tr>\n"
       << "<tr><td>Shares</td><td>";
  for (size_t i = 0; i < s.config.shares.size(); ++i) {
    page << (i ? ", " : "") << HtmlEscape(s.config.shares[i]);
  }
  page << "</td></tr>\n<tr><td>iSCSI targets</td><td>" << s.config.targets.size()
       << "</td></tr>\n</table></body></html>\n";
  return page.str();
}

}  // namespace

std::string HttpResponse(const std::string& request, const DeviceState& state) {
  size_t lineEnd = request.find("\r\n");
  std::string line = request.substr(0, lineEnd);
  std::istringstream words(line);
  std::string method, path, version;
  words >> method >> path >> version;
  std::string status = "200 OK";
  std::string body;
  if (version.rfind("HTTP/1.", 0) != 0) {
    status = "400 Bad Request";
  } else if (method != "GET" && method != "HEAD") {
    status = "405 Method Not Allowed";
  } else if (path != "/" && path != "/index.html") {
    status = "404 Not Found";
  } else {
    body = Page(state);
  }
  if (body.empty()) body = "<html><body><h1>" + status + "</h1></body></html>\n";
  std::string head = "HTTP/1.0 " + status + "\r\nContent-Type: text/html; charset=utf-8\r\n" +
                     "Content-Length: " + std::to_string(body.size()) +
                     "\r\nConnection: close\r\n\r\n";
  return method == "HEAD" ? head : head + body;
}

}  // namespace sw::sim
