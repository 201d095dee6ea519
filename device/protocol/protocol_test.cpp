// The command records on the wire: every request's bytes, every reply reader on good and bad
// input, and the receive thread's dispatch table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/protocol/dvr_socket.h"
#include "device/protocol/panel_receiver.h"
#include "device/protocol/replies.h"
#include "device/protocol/requests.h"
#include "platform/net/loopback.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Little-endian words, then loose bytes and texts: the expected wire form written by hand.
struct Wire {
  Bytes b;
  Wire& W(int32_t v) {
    for (int i = 0; i < 4; ++i)
      b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> 8 * i));
    return *this;
  }
  Wire& H(int16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
    return *this;
  }
  Wire& B(std::initializer_list<int> v) {
    for (int x : v) b.push_back(static_cast<uint8_t>(x));
    return *this;
  }
  Wire& T(const std::string& text, size_t width) {
    Bytes field(width, 0);
    std::memcpy(field.data(), text.data(), text.size());
    b.insert(b.end(), field.begin(), field.end());
    return *this;
  }
  Wire& Zeros(size_t n) {
    b.insert(b.end(), n, 0);
    return *this;
  }
};

Bytes Header(int32_t command, int32_t length) {
  return Wire().W(command).W(1).W(1).W(1).W(length).b;
}

Bytes Datagram(int32_t command, const Bytes& payload, int32_t length = -2) {
  Bytes d = Header(command, length == -2 ? static_cast<int32_t>(payload.size()) : length);
  d.insert(d.end(), payload.begin(), payload.end());
  return d;
}

Bytes Cut(Bytes b, size_t size) {
  b.resize(size);
  return b;
}

Bytes With(Bytes b, uint8_t last) {
  b.push_back(last);
  return b;
}

RecordEntry SampleEntry() {
  RecordEntry e{};
  e.locatorA = 0xA1;
  e.locatorB = 0xB2;
  e.locatorC = -3;
  e.channel = 4;
  e.recordType = kRecordAlarm;
  e.locatorD = 0x11223344;
  e.size = 1048576;
  SetTimeText(e.startTime, "2026-03-04 05:06:07");
  SetTimeText(e.endTime, "2026-03-04 06:06:07");
  return e;
}

Bytes SampleEntryWire() {
  return Wire()
      .B({0xA1, 0xB2})
      .H(-3)
      .H(4)
      .H(kRecordAlarm)
      .W(0x11223344)
      .W(1048576)
      .Zeros(4)
      .T("2026-03-04 05:06:07", 20)
      .T("2026-03-04 06:06:07", 20)
      .b;
}

TEST(CommandRequests, EveryRequestsBytesAndSize) {
  RecordQuery query{};
  query.channelMask = 0x85;
  query.typeMask = kRecordNormal | kRecordManual;
  query.storage = kStorageSdCard;
  SetTimeText(query.startTime, "2026-01-02 03:04:05");
  SetTimeText(query.endTime, "2026-01-02 23:59:59 and more");  // cut to the field
  ImageSettings image{kImageSet, 2, {0, 0}, 10, 200, -5, 255};
  struct Case {
    const char* name;
    Bytes built;
    size_t size;
    int32_t command;
    Bytes payload;
  } cases[] = {
      {"record query", BuildRecordQuery(query), 72, 18,
       Wire().W(0x85).W(9).W(1).T("2026-01-02 03:04:05", 20).T("2026-01-02 23:59:59", 20).b},
      {"ptz action", BuildPtzAction({kPtzZoomIn, 0, 3, 200}), 24, 26, Wire().B({11, 0, 3, 200}).b},
      {"ptz config", BuildPtzConfig({kPtzConfigSet, 2, 1, 127, 63, 7}), 26, 27,
       Wire().B({1, 2, 1, 127, 63, 7}).b},
      {"usb export", BuildUsbExport(DescribeRecord(SampleEntry(), kStorageSdCard)), 40, 46,
       Wire().W(4).W(1).B({0xA1, 0xB2}).H(-3).W(0x11223344).W(1048576).b},
      {"status", BuildStatusRequest(kStatusRefreshPeriodic), 21, 54, Wire().B({2}).b},
      {"image query", BuildImageQuery({kImageGet, 5, {0, 0}}), 24, 56, Wire().B({0, 5, 0, 0}).b},
      {"image settings", BuildImageSettings(image), 28, 56,
       Wire().B({1, 2, 0, 0, 10, 200, 0xFB, 255}).b},
      {"relay", BuildRelay(kRelayOutput2), 24, 57, Wire().W(2).b},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.built.size(), c.size);
    EXPECT_EQ(Bytes(c.built.begin(), c.built.begin() + 20),
              Header(c.command, static_cast<int32_t>(c.size - 20)));
    EXPECT_EQ(Bytes(c.built.begin() + 20, c.built.end()), c.payload);
  }
  // A descriptor's channel is the entry's, sign-extended.
  RecordEntry odd = SampleEntry();
  odd.channel = -1;
  EXPECT_EQ(DescribeRecord(odd, 0).channel, -1);
}

// The panel's builder and the sender, through a real socket to a receiver on loopback.
TEST(CommandRequests, BuildAndSendByKindOverLoopback) {
  SOCKET dvr = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in at = platform::net::LoopbackAddress(0);
  ASSERT_EQ(bind(dvr, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
  const int port = platform::net::BoundPort(dvr);
  SOCKET panel = OpenDatagramSocket();
  ASSERT_NE(panel, INVALID_SOCKET);
  PtzAction action{kPtzLeft, 0, 1, 9};
  PtzConfig get{kPtzConfigGet, 3, 0, 0, 0, 0};
  int32_t mask = 3;
  struct Case {
    int kind;
    const void* values;
    Bytes expected;
  } cases[] = {
      {kBuildPtzAction, &action, Datagram(26, Wire().B({3, 0, 1, 9}).b)},
      {kBuildPtzConfigGet, &get, Datagram(27, Wire().B({0, 3, 0, 0, 0, 0}).b)},
      {kBuildPtzConfigSet, &get, Datagram(27, Wire().B({0, 3, 0, 0, 0, 0}).b)},
      {kBuildStatusUser, nullptr, Datagram(54, {1})},
      {kBuildStatusPeriodic, nullptr, Datagram(54, {2})},
      {kBuildRelay, &mask, Datagram(57, Wire().W(3).b)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    ASSERT_TRUE(BuildAndSend(c.values, panel, "127.0.0.1", c.kind, port));
    ASSERT_GT(WaitReadable(dvr, 2), 0);
    Bytes got(100);
    int n = ReceiveDatagram(dvr, got.data(), static_cast<int>(got.size()));
    got.resize(n < 0 ? 0 : static_cast<size_t>(n));
    EXPECT_EQ(got, c.expected);
  }
  EXPECT_FALSE(BuildAndSend(&mask, panel, "127.0.0.1", 4, port));
  EXPECT_FALSE(SendCommand("x", panel, 1, "not an address", port));
  EXPECT_EQ(WaitReadable(dvr, 0), 0);  // nothing more came
  EXPECT_EQ(WaitReadable(INVALID_SOCKET, 1), 0);
  closesocket(panel);
  closesocket(dvr);
}

TEST(CommandReplies, HeaderChecks) {
  ReplyFault fault;
  struct Case {
    const char* name;
    Bytes datagram;
    ReplyFault fault;
    size_t payload;
  } cases[] = {
      {"empty", {}, ReplyFault::kShortHeader, 0},
      {"19 bytes", Cut(Header(54, 0), 19), ReplyFault::kShortHeader, 0},
      {"negative length", Datagram(54, Bytes(8, 1), -1), ReplyFault::kNegativeLength, 0},
      {"most negative", Datagram(18, {}, INT32_MIN), ReplyFault::kNegativeLength, 0},
      {"claims more", Datagram(57, Bytes(3, 0), 4), ReplyFault::kShortPayload, 0},
      {"claims far more", Datagram(18, Bytes(60, 0), INT32_MAX), ReplyFault::kShortPayload, 0},
      {"whole", Datagram(57, Bytes(4, 0)), ReplyFault::kNone, 4},
      {"trailing bytes", Datagram(57, Bytes(10, 0), 4), ReplyFault::kNone, 4},
      {"header alone", Datagram(26, {}), ReplyFault::kNone, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto reply = ParseReply(c.datagram, &fault);
    EXPECT_EQ(fault, c.fault);
    ASSERT_EQ(reply.has_value(), c.fault == ReplyFault::kNone);
    if (reply) {
      EXPECT_EQ(reply->payload.size(), c.payload);
      EXPECT_EQ(reply->payload.data(), c.datagram.data() + 20);
    }
  }
}

TEST(CommandReplies, RecordReplyEntryCounts) {
  const Bytes one = SampleEntryWire();
  struct Case {
    const char* name;
    Bytes payload;
    bool noneFound;
    size_t entries;
  } cases[] = {
      {"-1 alone", Wire().W(-1).b, true, 0},
      {"4 other bytes", Wire().W(7).b, false, 1},
      {"empty", {}, false, 0},
      {"one", one, false, 1},
      {"one and a byte", With(one, 0x5A), false, 2},
      {"-1 and more", Wire().W(-1).Zeros(4).b, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordReply r = ReadRecordReply(c.payload);
    EXPECT_EQ(r.noneFound, c.noneFound);
    EXPECT_EQ(r.entries.size(), c.entries);
  }
  RecordReply r = ReadRecordReply(cases[4].payload);
  ASSERT_EQ(r.entries.size(), 2u);
  const RecordEntry& e = r.entries[0];
  EXPECT_EQ(e.locatorA, 0xA1);
  EXPECT_EQ(e.locatorB, 0xB2);
  EXPECT_EQ(e.locatorC, -3);
  EXPECT_EQ(e.channel, 4);
  EXPECT_EQ(e.recordType, kRecordAlarm);
  EXPECT_EQ(e.locatorD, 0x11223344);
  EXPECT_EQ(e.size, 1048576);
  EXPECT_STREQ(e.startTime, "2026-03-04 05:06:07");
  EXPECT_STREQ(e.endTime, "2026-03-04 06:06:07");
  // The partial last entry: its one byte, then zeros.
  Bytes last(sizeof(RecordEntry));
  std::memcpy(last.data(), &r.entries[1], last.size());
  Bytes expected(sizeof(RecordEntry), 0);
  expected[0] = 0x5A;
  EXPECT_EQ(last, expected);
  // The most a 30 740-byte datagram holds.
  EXPECT_EQ(ReadRecordReply(Bytes(kReceiveBufferBytes - kHeaderBytes, 1)).entries.size(), 512u);
}

TEST(CommandReplies, FixedRecordsAndTheDownloadAnswer) {
  EXPECT_TRUE(ReadStatusReply(Bytes(868, 0)).has_value());
  EXPECT_FALSE(ReadStatusReply(Bytes(867, 0)).has_value());
  EXPECT_FALSE(ReadStatusReply(Bytes(869, 0)).has_value());
  auto config = ReadPtzConfigReply(Wire().B({0, 2, 1, 10, 20, 3}).b);
  ASSERT_TRUE(config);
  EXPECT_EQ(config->channel, 2);
  EXPECT_EQ(config->baud, 3);
  EXPECT_FALSE(ReadPtzConfigReply(Bytes(5, 0)));
  auto progress = ReadExportProgress(Wire().W(9).W(5).W(42).b);
  ASSERT_TRUE(progress);
  EXPECT_EQ(progress->status, 5);
  EXPECT_EQ(progress->percent, 42);
  EXPECT_FALSE(ReadExportProgress(Bytes(11, 0)));
  EXPECT_EQ(ReadRelayReply(Wire().W(6).b), 6);
  EXPECT_FALSE(ReadRelayReply(Bytes(3, 0)));
  auto image = ReadImageReply(Wire().B({0, 1, 0, 0, 100, 110, 0x80, 130}).b);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->luminance, -128);
  EXPECT_EQ(image->saturation, 130);
  EXPECT_FALSE(ReadImageReply(Bytes(7, 0)));

  struct Case {
    const char* name;
    Bytes bytes;
    DownloadAnswer::Kind kind;
    int32_t code;
  } cases[] = {
      {"nothing", {}, DownloadAnswer::kNoReply, 0},
      {"2 bytes", {0xEE, 0xEE}, DownloadAnswer::kNoReply, 0},
      {"file follows", Wire().W(kDownloadMagic).W(0).b, DownloadAnswer::kFileFollows, 0},
      {"no file", Wire().W(kDownloadMagic).W(2).b, DownloadAnswer::kFailed, 2},
      {"wrong magic", Wire().W(0x12345678).W(0).b, DownloadAnswer::kFailed, 0},
      {"wrong magic, short code", Wire().W(0).B({9, 1}).b, DownloadAnswer::kFailed, 0x109},
      {"magic alone", Wire().W(kDownloadMagic).b, DownloadAnswer::kFailed, 0},
      {"3 bytes", {0xEE, 0xEE, 0xFF}, DownloadAnswer::kFailed, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DownloadAnswer a = ReadDownloadReply(c.bytes);
    EXPECT_EQ(a.kind, c.kind);
    EXPECT_EQ(a.code, c.code);
  }
}

// What the dialogs' side was told, in order.
struct RecordingSink : PanelReplySink {
  std::vector<std::string> calls;
  RecordReply records;
  int32_t mask = 0;
  void OnRecords(RecordReply r) override {
    calls.push_back("records " + std::to_string(r.entries.size()) + (r.noneFound ? " none" : ""));
    records = std::move(r);
  }
  void OnPtzConfig(const PtzConfig& c) override {
    calls.push_back("ptz " + std::to_string(c.operation) + " " + std::to_string(c.channel));
  }
  void OnExportProgress(int32_t status, int32_t percent) override {
    calls.push_back("export " + std::to_string(status) + " " + std::to_string(percent));
  }
  void OnRelaySwitched() override { calls.push_back("relay switched"); }
  int32_t RelayMask() const override { return mask; }
  void ShowText(int id) override { calls.push_back("text " + std::to_string(id)); }
};

Bytes StatusRecordWith(const char* label) {
  Bytes record(868, 0);
  std::memcpy(record.data(), label, std::strlen(label));
  return record;
}

TEST(PanelDispatch, TableByCommandCode) {
  SW_SHOW_ARR_ST table{};
  RecordingSink sink;
  sink.mask = 2;
  PanelReceiver receiver(INVALID_SOCKET, &table, &sink);
  struct Case {
    const char* name;
    Bytes datagram;
    std::vector<std::string> calls;
    const char* printed;
  } cases[] = {
      {"records", Datagram(18, SampleEntryWire()), {"records 1"}, "have socket data!type:18\n"},
      {"no records",
       Datagram(18, Wire().W(-1).b),
       {"records 0 none"},
       "have socket data!type:18\n"},
      {"ptz action", Datagram(26, {}), {}, "have socket data!type:26\n"},
      {"ptz config",
       Datagram(27, Wire().B({0, 3, 1, 2, 3, 4}).b),
       {"ptz 0 3"},
       "have socket data!type:27\n"},
      {"export",
       Datagram(46, Wire().W(0).W(2).W(0).b),
       {"export 2 0"},
       "have socket data!type:46\n"},
      {"relay done",
       Datagram(57, Wire().W(0).b),
       {"relay switched"},
       "have socket data!type:57\nset to new state :2!\r\n"},
      {"relay refused", Datagram(57, Wire().W(5).b), {"text 649"}, "have socket data!type:57\n"},
      {"unknown", Datagram(99, Wire().W(0).b), {"text 601"}, "have socket data!type:99\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sink.calls.clear();
    testing::internal::CaptureStdout();
    receiver.Dispatch(c.datagram);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed);
    EXPECT_EQ(sink.calls, c.calls);
  }
  EXPECT_EQ(sink.records.entries.size(), 0u);  // the last record reply found none
  EXPECT_EQ(receiver.stats().dropped, 0u);
  EXPECT_EQ(table.count, 0u);

  // The status record goes into the slot that is not current.
  receiver.Dispatch(Datagram(54, StatusRecordWith("first")));
  EXPECT_EQ(table.count, 1u);
  EXPECT_STREQ(table.records[0].entries[0].label, "first");
  receiver.Dispatch(Datagram(54, StatusRecordWith("second")));
  EXPECT_EQ(table.count, 2u);
  EXPECT_STREQ(table.records[1].entries[0].label, "second");
  receiver.Dispatch(Datagram(54, StatusRecordWith("third")));
  EXPECT_EQ(table.count, 1u);
  EXPECT_STREQ(table.records[0].entries[0].label, "third");
  EXPECT_STREQ(table.records[1].entries[0].label, "second");
  EXPECT_EQ(receiver.stats().statusRecords, 3u);
  EXPECT_TRUE(sink.calls.back() == "text 601");  // nothing new was shown
}

TEST(PanelDispatch, BadRepliesAreDroppedAndCounted) {
  SW_SHOW_ARR_ST table{};
  RecordingSink sink;
  PanelReceiver receiver(INVALID_SOCKET, &table, &sink);
  Bytes shortStatus = Datagram(54, Bytes(867, 0x41));
  Bytes longStatus = Datagram(54, Bytes(869, 0x41));
  Bytes lying = Datagram(54, Bytes(100, 0x41), 868);
  const Bytes bad[] = {
      {1, 2, 3},
      Cut(Header(54, 0), 19),
      Datagram(54, Bytes(868, 0x41), -868),
      lying,
      shortStatus,
      longStatus,
      Datagram(27, Bytes(5, 0)),
      Datagram(46, Bytes(11, 0)),
      Datagram(57, Bytes(3, 0)),
      Datagram(18, SampleEntryWire(), 61),
  };
  testing::internal::CaptureStdout();
  for (const Bytes& d : bad) receiver.Dispatch(d);
  std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(receiver.stats().dropped, std::size(bad));
  EXPECT_EQ(receiver.stats().datagrams, std::size(bad));
  EXPECT_TRUE(sink.calls.empty());
  EXPECT_EQ(table.count, 0u);
  EXPECT_EQ(table.records[0].entries[0].label[0], 0);
  // Described when they hold a command word, like every datagram.
  EXPECT_EQ(printed.find("have socket data!type:"), 0u);
  EXPECT_EQ(printed.find("set to new state"), std::string::npos);

  // The NPAPI panel has no relays: a relay reply is an unknown type there.
  PanelReceiver noRelays(INVALID_SOCKET, &table, &sink, false);
  testing::internal::CaptureStdout();
  noRelays.Dispatch(Datagram(57, Wire().W(0).b));
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(sink.calls, std::vector<std::string>{"text 601"});
}

}  // namespace
