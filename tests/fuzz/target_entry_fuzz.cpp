// A device's target entries ("name|auth@user$secret") and what is read from them: the pieces, the
// CHAP secret's Base64, the entry matched for a target, the CHAP dialog's check and the iSCSI name
// grammar. The input is one reply's list text (items between '='), then the typed values.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fabric/fabric.h"
#include "fuzz_client.h"
#include "iscsi/command_lines.h"
#include "iscsi/iscsi_name.h"
#include "iscsi/target_list.h"
#include "iscsi/target_login.h"

namespace {

using sw::protocol::fuzz::Require;
using namespace sw::iscsi;

bool NameByte(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':'; }

void CheckName(const std::string& name) {
  if (!IsValidIscsiName(name)) return;
  // What the grammar lets through may stand unquoted in a command line and between WQL quotes.
  Require(!name.empty() && name.size() <= kMaxIscsiNameBytes);
  const std::string lower = LowerAscii(name);
  for (char c : lower) Require(NameByte(c));
  Require(lower.rfind("iqn.", 0) == 0 || lower.rfind("eui.", 0) == 0 || lower.rfind("naa.", 0) == 0);
  Require(IsSafeUnquotedValue(name));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string list = in.ConsumeRandomLengthString(4096);
  std::vector<std::string> entries;
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t end = std::min(list.find('=', start), list.size());
    if (end > start) entries.push_back(list.substr(start, end - start));
    start = end + 1;
  }

  for (const std::string& entry : entries) {
    const TargetEntryPieces p = SplitTargetEntry(entry);
    // The pieces and their separators are the entry again, when every separator was there.
    const std::size_t bar = entry.find('|');
    const std::size_t at = bar == std::string::npos ? bar : entry.find('@', bar);
    if (at != std::string::npos && entry.find('$', at) != std::string::npos) {
      Require(p.name + "|" + p.authentication + "@" + p.user + "$" + p.secretBase64 == entry);
    }
    Require(p.name.find('|') == std::string::npos && p.authentication.find('@') == std::string::npos &&
            p.user.find('$') == std::string::npos);
    const std::string secret = DecodeBase64(p.secretBase64);
    Require(secret.size() <= p.secretBase64.size() * 3 / 4 + 1);
    CheckName(p.name);
  }
  // Base64 both ways: what the fabric encodes decodes to itself.
  const std::string bytes = in.ConsumeRandomLengthString(64);
  Require(DecodeBase64(sw::fabric::EncodeBase64(bytes)) == bytes);

  const std::string target = in.ConsumeRandomLengthString(300);
  CheckName(target);
  if (const auto found = FindTargetEntry(entries, target)) Require(LowerAscii(found->name) == LowerAscii(target));

  TargetListState state;
  const std::vector<TargetRow> rows = FallbackTargetRows(entries, state);
  Require(rows.size() == entries.size());
  for (const TargetRow& row : rows) Require(row.status == kStatusNotConnected && row.name.find('|') == std::string::npos);

  // The CHAP dialog over typed values and the device's: an accepted pair is the device's pair,
  // and both may stand between quotes in the login command line.
  const std::string user = in.ConsumeRandomLengthString(20);
  const std::string password = in.ConsumeRandomLengthString(20);
  for (const std::string& entry : entries) {
    const TargetEntryPieces p = SplitTargetEntry(entry);
    const std::string expected = DecodeBase64(p.secretBase64);
    const ChapCheck check = CheckChapInput(user, password, p.user, expected);
    if (check.verdict == ChapVerdict::Accept) {
      Require(check.message == nullptr && user == p.user && password == expected);
      Require(IsSafeChapValue(user) && IsSafeChapValue(password));
    } else {
      Require(check.message != nullptr);
    }
  }
  return 0;
}
