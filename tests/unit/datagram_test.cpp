// Byte layouts of the requests and the readers of device replies, including hostile replies.

#include "protocol/datagram.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace sw::protocol {
namespace {

using Bytes = std::vector<std::uint8_t>;

ClientId TestClient() {
  ClientId id;
  const std::uint8_t bytes[] = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0, 0, 0, 0};
  std::memcpy(id.bytes, bytes, sizeof bytes);
  return id;
}

const std::uint8_t kDeviceId[kDeviceIdSize] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 192, 168, 0, 10};

void PutU32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void PutText(Bytes& b, std::size_t at, const std::string& text) {
  std::memcpy(b.data() + at, text.data(), text.size());
}

// An announcement laid out by hand, independently of the reader under test.
Bytes MakeAnnouncement(std::uint8_t opcode, const std::string& name, const std::uint8_t ip[4],
                   const ClientId& client = TestClient()) {
  const bool ext = opcode == DISCOVER_REPLY_EXT;
  const std::size_t nameAt = ext ? 72 : 60;
  Bytes b(nameAt + name.size(), 0);
  b[0] = opcode;
  std::memcpy(&b[1], client.bytes, kClientIdSize);
  std::memcpy(&b[11], kDeviceId, 6);
  std::memcpy(&b[17], ip, 4);
  b[21] = '1';
  PutText(b, 24, "255.255.255.0");
  PutText(b, 40, "192.168.0.1");
  if (ext) {
    b[56] = 3;
    b[57] = 3;
    PutText(b, 59, std::string("iscsi\0", 6));
  }
  PutU32(b, ext ? 68 : 56, static_cast<std::uint32_t>(name.size()));
  PutText(b, nameAt, name);
  return b;
}

const std::uint8_t kIp10[4] = {192, 168, 0, 10};

AnnouncementVerdict Read(const Bytes& b, Announcement& out, std::uint8_t fa = 3, std::uint8_t fb = 3) {
  return ReadAnnouncement(ReceivedDatagram{b.data(), b.size()}, TestClient(), fa, fb, out);
}

TEST(DatagramRequests, DiscoverIsOpcodeAndClientId) {
  std::uint8_t out[kRequestBufferSize];
  std::memset(out, 0xEE, sizeof out);
  ASSERT_EQ(BuildDiscover(TestClient(), out), 11u);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(0, std::memcmp(out + 1, TestClient().bytes, 10));
  EXPECT_EQ(out[11], 0) << "the buffer is cleared beyond the request";
}

TEST(DatagramRequests, ShareAndTargetQueriesAre28BytesWithZeroTail) {
  for (SubCommand sub : {SUB_QUERY_SHARES, SUB_QUERY_TARGETS}) {
    std::uint8_t out[kRequestBufferSize];
    std::memset(out, 0xEE, sizeof out);
    ASSERT_EQ(BuildQuery(TestClient(), kDeviceId, sub, nullptr, 0, out), 28u);
    EXPECT_EQ(out[0], 3);
    EXPECT_EQ(0, std::memcmp(out + 1, TestClient().bytes, 10));
    EXPECT_EQ(0, std::memcmp(out + 11, kDeviceId, 10));
    EXPECT_EQ(out[21], sub);
    for (int i = 22; i < 28; ++i) EXPECT_EQ(out[i], 0) << "byte " << i;
  }
}

TEST(DatagramRequests, LoginPayloadIsUserSeparatorPassword) {
  std::uint8_t out[kRequestBufferSize];
  ASSERT_EQ(BuildLoginQuery(TestClient(), kDeviceId, "admin", "", out), 35u);
  EXPECT_EQ(out[21], SUB_QUERY_LOGIN);
  EXPECT_EQ(out[24], 7);
  EXPECT_EQ(out[25] | out[26] | out[27], 0);
  const std::uint8_t payload[] = {'a', 'd', 'm', 'i', 'n', 0x55, 0xAA};
  EXPECT_EQ(0, std::memcmp(out + 28, payload, sizeof payload));

  ASSERT_EQ(BuildLoginQuery(TestClient(), kDeviceId, "admin", "secret", out), 41u);
  EXPECT_EQ(0, std::memcmp(out + 35, "secret", 6));
  EXPECT_EQ(out[24], 13);
}

TEST(DatagramRequests, LoginRefusesCredentialsLongerThanTheirFields) {
  std::uint8_t out[kRequestBufferSize];
  const std::string sixteen(16, 'u');
  EXPECT_EQ(BuildLoginQuery(TestClient(), kDeviceId, sixteen.c_str(), sixteen.c_str(), out), 62u);
  EXPECT_EQ(BuildLoginQuery(TestClient(), kDeviceId, (sixteen + "x").c_str(), "", out), 0u);
  EXPECT_EQ(BuildLoginQuery(TestClient(), kDeviceId, "admin", (sixteen + "x").c_str(), out), 0u);
}

TEST(DatagramRequests, DhcpSetIs60BytesWithZeroTail) {
  std::uint8_t out[kRequestBufferSize];
  std::memset(out, 0xEE, sizeof out);
  ASSERT_EQ(BuildSetDhcp(TestClient(), kDeviceId, out), 60u);
  EXPECT_EQ(out[0], 5);
  EXPECT_EQ(out[21], SUB_SET_DHCP);
  for (int i = 22; i < 60; ++i) EXPECT_EQ(out[i], 0) << "byte " << i;
}

TEST(DatagramRequests, StaticSetCarriesPaddedTextsAndAddress) {
  std::uint8_t out[kRequestBufferSize];
  std::memset(out, 0xEE, sizeof out);
  ASSERT_EQ(BuildSetStaticIp(TestClient(), kDeviceId, "255.255.255.0", "192.168.0.1",
                             "192.168.0.20", out),
            72u);
  EXPECT_EQ(out[21], SUB_SET_STATIC_IP);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out + 24)), "255.255.255.0");
  EXPECT_EQ(out[24 + 13] | out[24 + 14] | out[24 + 15], 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out + 40)), "192.168.0.1");
  EXPECT_EQ(out[56], 12);
  EXPECT_EQ(out[57] | out[58] | out[59], 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out + 60), 12), "192.168.0.20");

  EXPECT_EQ(BuildSetStaticIp(TestClient(), kDeviceId, "255.255.255.2550", "1.1.1.1", "1.1.1.2", out), 0u)
      << "a netmask text of 16 characters would lose its terminator";
}

TEST(DatagramAcceptance, ClientIdComparesOnlyTheRandomBytes) {
  Bytes b = MakeAnnouncement(DISCOVER_REPLY, "nas", kIp10);
  Announcement a;
  b[7] = 0x99;  // the zero tail is not compared
  EXPECT_EQ(Read(b, a), AnnouncementVerdict::Accepted);

  ClientId other = TestClient();
  other.bytes[5] ^= 1;
  Bytes foreign = MakeAnnouncement(DISCOVER_REPLY, "nas", kIp10, other);
  EXPECT_EQ(Read(foreign, a), AnnouncementVerdict::OtherClient)
      << "bytes 7-10 match ours but byte 6 does not";
}

TEST(DatagramAcceptance, ExtendedFilterBytes) {
  Announcement a;
  Bytes ok = MakeAnnouncement(DISCOVER_REPLY_EXT, "nas", kIp10);
  EXPECT_EQ(Read(ok, a), AnnouncementVerdict::Accepted);

  Bytes wrong = ok;
  wrong[57] = 4;
  EXPECT_EQ(Read(wrong, a), AnnouncementVerdict::FilteredOut);
  EXPECT_EQ(Read(wrong, a, 3, 0), AnnouncementVerdict::Accepted) << "filter value 0 accepts any byte";
  wrong[56] = 9;
  EXPECT_EQ(Read(wrong, a, 0, 0), AnnouncementVerdict::Accepted);

  Bytes basic = MakeAnnouncement(DISCOVER_REPLY, "nas", kIp10);
  basic[56] = 9;  // would be a filter byte in the extended layout; here it is the name length's low byte
  basic[57] = 9;
  EXPECT_EQ(Read(basic, a), AnnouncementVerdict::Accepted) << "basic announcements have no filter";

  for (std::uint8_t opcode : {0, 1, 3, 4, 5, 6, 8, 255}) {
    Bytes other = ok;
    other[0] = opcode;
    EXPECT_EQ(Read(other, a), AnnouncementVerdict::WrongOpcode) << int(opcode);
  }
}

TEST(DatagramAnnouncement, FieldsAreReadFromTheirOffsets) {
  Announcement a;
  Bytes b = MakeAnnouncement(DISCOVER_REPLY_EXT, "Storage One", kIp10);
  ASSERT_EQ(Read(b, a), AnnouncementVerdict::Accepted);
  EXPECT_STREQ(a.name, "Storage One");
  EXPECT_STREQ(a.ipAddress, "192.168.0.10");
  EXPECT_STREQ(a.netmask, "255.255.255.0");
  EXPECT_STREQ(a.gateway, "192.168.0.1");
  EXPECT_STREQ(a.dhcpState, "1");
  EXPECT_EQ(0, std::memcmp(a.deviceId, kDeviceId, 10));
  EXPECT_TRUE(a.iscsiCapable);
  EXPECT_FALSE(a.nameClamped);

  Bytes basic = MakeAnnouncement(DISCOVER_REPLY, std::string("iscsi\0", 6), kIp10);
  ASSERT_EQ(Read(basic, a), AnnouncementVerdict::Accepted);
  EXPECT_FALSE(a.iscsiCapable) << "only the extended announcement carries the feature tag";
}

TEST(DatagramAnnouncement, IscsiTagNeedsTheTerminatingNul) {
  Announcement a;
  Bytes b = MakeAnnouncement(DISCOVER_REPLY_EXT, "nas", kIp10);
  b[64] = '2';
  ASSERT_EQ(Read(b, a), AnnouncementVerdict::Accepted);
  EXPECT_FALSE(a.iscsiCapable);
  b[64] = 0;
  b[59] = 'I';
  ASSERT_EQ(Read(b, a), AnnouncementVerdict::Accepted);
  EXPECT_FALSE(a.iscsiCapable) << "the tag is compared case-sensitively";
}

TEST(DatagramAnnouncement, HostileNameLengthsAreClamped) {
  Announcement a;
  // A length field far past the datagram: only the bytes received become the name.
  Bytes b = MakeAnnouncement(DISCOVER_REPLY, "short", kIp10);
  PutU32(b, 56, 0xFFFFFFFFu);
  ASSERT_EQ(Read(b, a), AnnouncementVerdict::Accepted);
  EXPECT_STREQ(a.name, "short");
  EXPECT_TRUE(a.nameClamped);

  // A 300-byte name fits the datagram but not the record: cut to 255.
  Bytes longName = MakeAnnouncement(DISCOVER_REPLY_EXT, std::string(300, 'n'), kIp10);
  ASSERT_EQ(Read(longName, a), AnnouncementVerdict::Accepted);
  EXPECT_EQ(std::strlen(a.name), 255u);
  EXPECT_TRUE(a.nameClamped);

  // Exactly 255 is not cut.
  Bytes fits = MakeAnnouncement(DISCOVER_REPLY, std::string(255, 'f'), kIp10);
  ASSERT_EQ(Read(fits, a), AnnouncementVerdict::Accepted);
  EXPECT_EQ(std::strlen(a.name), 255u);
  EXPECT_FALSE(a.nameClamped);
}

TEST(DatagramAnnouncement, ShortDatagramsReadZerosNotStaleBytes) {
  // The bytes past the end of a short datagram hold an earlier device's data; none of it may leak.
  Bytes earlier = MakeAnnouncement(DISCOVER_REPLY_EXT, "earlier-device", kIp10);
  Bytes buffer(kReceiveBufferSize, 0);
  std::memcpy(buffer.data(), earlier.data(), earlier.size());
  const std::uint8_t head[] = {DISCOVER_REPLY_EXT, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6};
  std::memcpy(buffer.data(), head, sizeof head);
  Announcement a;
  ASSERT_EQ(ReadAnnouncement(ReceivedDatagram{buffer.data(), sizeof head}, TestClient(), 0, 0, a),
            AnnouncementVerdict::Accepted);
  EXPECT_STREQ(a.name, "");
  EXPECT_STREQ(a.ipAddress, "0.0.0.0");
  EXPECT_STREQ(a.netmask, "");
  EXPECT_STREQ(a.dhcpState, "");
  EXPECT_FALSE(a.iscsiCapable);
  EXPECT_EQ(ReadAnnouncement(ReceivedDatagram{buffer.data(), sizeof head}, TestClient(), 3, 3, a),
            AnnouncementVerdict::FilteredOut)
      << "filter bytes beyond the datagram read as 0";
}

TEST(DatagramAnnouncement, TextFieldsWithoutTerminatorStayInTheirField) {
  Announcement a;
  Bytes b = MakeAnnouncement(DISCOVER_REPLY, "nas", kIp10);
  std::memset(&b[24], '9', 16);
  std::memset(&b[40], '8', 16);
  ASSERT_EQ(Read(b, a), AnnouncementVerdict::Accepted);
  EXPECT_EQ(std::string(a.netmask), std::string(15, '9'));
  EXPECT_EQ(std::string(a.gateway), std::string(15, '8'));
}

TEST(DatagramLists, SplitSkipsEmptyItemsAndStopsAtNul) {
  auto reply = [](const std::string& text) {
    Bytes b(28, 0);
    b[0] = QUERY_REPLY;
    b.insert(b.end(), text.begin(), text.end());
    return b;
  };
  Bytes shares = reply("vol1::vol2:");
  EXPECT_EQ(SplitListReply(ReceivedDatagram{shares.data(), shares.size()}, ':'),
            (std::vector<std::string>{"vol1", "vol2"}));
  Bytes targets = reply(std::string("=iqn.a:t1|none@$==iqn.a:t2|chap@u$c2VjcmV0\0hidden", 48));
  EXPECT_EQ(SplitListReply(ReceivedDatagram{targets.data(), targets.size()}, '='),
            (std::vector<std::string>{"iqn.a:t1|none@$", "iqn.a:t2|chap@u$c2VjcmV0"}));
  Bytes empty = reply("");
  EXPECT_TRUE(SplitListReply(ReceivedDatagram{empty.data(), empty.size()}, ':').empty());
  Bytes tiny(5, QUERY_REPLY);
  EXPECT_TRUE(SplitListReply(ReceivedDatagram{tiny.data(), tiny.size()}, ':').empty());
}

TEST(DatagramAddresses, ReplyAddressTestIsExactText) {
  Bytes b = MakeAnnouncement(QUERY_REPLY, "", kIp10);
  const ReceivedDatagram d{b.data(), b.size()};
  EXPECT_TRUE(CarriesAddress(d, "192.168.0.10"));
  EXPECT_FALSE(CarriesAddress(d, "192.168.000.010"));
  EXPECT_FALSE(CarriesAddress(d, "192.168.0.1"));
}

TEST(DatagramAddresses, ParseIpv4IsStrict) {
  std::uint8_t out[4];
  ASSERT_TRUE(ParseIpv4("10.77.0.255", out));
  EXPECT_EQ(out[0], 10);
  EXPECT_EQ(out[3], 255);
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "1.2.3.4 ", "a.b.c.d",
                          "1.2.3.0004"}) {
    EXPECT_FALSE(ParseIpv4(bad, out)) << bad;
  }
}

}  // namespace
}  // namespace sw::protocol
