// The simulator's recorder: its catalogue searched as command 18 asks, its files read back by
// FFmpeg's tools, downloads over real TCP with each fault switch, and USB export progress.
#include "tools/dvrsim/recorder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/vfw/avi_probe.h"
#include "tools/dvrsim/catalogue.h"
#include "tools/dvrsim/command_server.h"
#include "tools/dvrsim/net_util.h"

namespace dvrsim {
namespace {

uint32_t Loopback() { return htonl(0x7F000001); }

// A fixed "today" (2026-12-09 12:00 local) so the catalogue's texts are known.
std::time_t Noon() {
  std::tm t{};
  t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 9, t.tm_hour = 12, t.tm_isdst = -1;
  return std::mktime(&t);
}

RecordQueryFields Query(int32_t channels, int32_t types, int32_t storage, std::string start,
                        std::string end) {
  return RecordQueryFields{channels, types, storage, std::move(start), std::move(end)};
}

TEST(Catalogue, SearchesByChannelTypeStorageAndTimeAndKeepsTo512) {
  Catalogue c(8, 6, Noon());
  ASSERT_EQ(c.all().size(), 8u * 6 * 2);
  struct Case {
    RecordQueryFields q;
    size_t count;
  } cases[] = {
      {Query(0xFF, 0xF, 0, "2026-12-08 00:00:00", "2026-12-09 23:59:59"), 96},
      {Query(0xFF, 0xF, 1, "2026-12-08 00:00:00", "2026-12-09 23:59:59"), 48},  // SD: today
      {Query(0x05, 0xF, 0, "2026-12-09 00:00:00", "2026-12-09 23:59:59"), 12},
      {Query(0x01, 0x0, 0, "2026-12-09 00:00:00", "2026-12-09 23:59:59"), 0},
      {Query(0xFF, 0xF, 0, "2026-12-09 04:30:00", "2026-12-09 04:30:00"), 8},  // overlapping
      {Query(0xFF, 0xF, 2, "2026-12-08 00:00:00", "2026-12-09 23:59:59"), 0},  // no storage 2
  };
  for (const Case& k : cases) {
    auto found = c.Search(k.q);
    EXPECT_EQ(found.size(), k.count) << k.q.channelMask << " " << k.q.start;
    for (const Recording* r : found) {
      EXPECT_TRUE(k.q.channelMask >> (r->channel - 1) & 1);
      EXPECT_TRUE(k.q.typeMask & r->type);
    }
  }
  // Every type is there, normal ones the most.
  std::map<int, int> types;
  for (const Recording& r : c.all()) ++types[r.type];
  EXPECT_GT(types[kNormal], types[kMoveDetect]);
  EXPECT_GT(types[kMoveDetect], 0);
  EXPECT_GT(types[kAlarm], 0);
  EXPECT_GT(types[kManual], 0);
  Catalogue many(8, 100, Noon());
  EXPECT_EQ(many.Search(Query(0xFF, 0xF, 0, "2026-12-08 00:00:00", "2026-12-09 23:59:59")).size(),
            512u);
}

TEST(Catalogue, EntriesNameTheirRecordingBackAndAStaleOneNamesNothing) {
  Catalogue c(4, 6, Noon());
  const Recording& r = c.all()[5];
  auto entry = EncodeRecordEntry(r, 1234);
  ASSERT_EQ(entry.size(), 60u);
  RecordDescriptorFields d{
      r.channel, 0, entry[0], entry[1], static_cast<int16_t>(entry[2] | entry[3] << 8), 0, 1234};
  std::memcpy(&d.d, &entry[8], 4);
  EXPECT_EQ(c.Find(*ParseRecordDescriptor(EncodeRecordDescriptor(d))), &r);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&entry[20])), r.startText);
  auto stale = EncodeRecordEntry(r, 1234, true);
  std::memcpy(&d.d, &stale[8], 4);
  EXPECT_EQ(c.Find(d), nullptr);
  EXPECT_FALSE(ParseRecordQuery(std::vector<uint8_t>(51)).has_value());
}

class RecorderTest : public ::testing::Test {
 protected:
  void Start(RecorderOptions o = {}) {
    o.cacheDir = cache_;
    o.exportStepMs = 20;
    recorder_ =
        std::make_unique<Recorder>(o, 2, 176, 144, Noon(), "127.0.0.1", [](const std::string&) {});
    recorder_->StartDownloads(0);
  }
  // The first entry of today's channel 1 query, and its descriptor.
  std::vector<uint8_t> FirstDescriptor(int32_t* size) {
    std::vector<uint8_t> q(52);
    int32_t words[3] = {1, 0xF, 0};
    std::memcpy(q.data(), words, 12);
    std::strcpy(reinterpret_cast<char*>(&q[12]), "2026-12-09 00:00:00");
    std::strcpy(reinterpret_cast<char*>(&q[32]), "2026-12-09 23:59:59");
    auto reply = recorder_->Query(q);
    EXPECT_TRUE(reply && reply->size() % 60 == 0 && !reply->empty());
    std::vector<uint8_t> d(20);
    int32_t channel = (*reply)[4];
    std::memcpy(&d[0], &channel, 4);
    std::memcpy(&d[8], &(*reply)[0], 4);
    std::memcpy(&d[12], &(*reply)[8], 4);
    std::memcpy(&d[16], &(*reply)[12], 4);
    std::memcpy(size, &(*reply)[12], 4);
    return d;
  }
  // Sends the descriptor on a fresh connection; the answer's two words and the bytes after
  // them until the server closes or stays silent for `quietMs`.
  std::vector<uint8_t> Download(const std::vector<uint8_t>& d, int32_t* magic, int32_t* code,
                                int quietMs = 1500) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = MakeAddress(Loopback(), recorder_->downloadPort());
    EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    send(s, reinterpret_cast<const char*>(d.data()), 20, 0);
    std::vector<uint8_t> got;
    char buffer[65536];
    while (WaitReadable(&s, 1, quietMs) != 0) {
      int n = recv(s, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      got.insert(got.end(), buffer, buffer + n);
    }
    closesocket(s);
    EXPECT_GE(got.size(), 8u);
    std::memcpy(magic, got.data(), 4);
    std::memcpy(code, got.data() + 4, 4);
    return std::vector<uint8_t>(got.begin() + 8, got.end());
  }
  std::string cache_ = avi_probe::TempDir();
  std::unique_ptr<Recorder> recorder_;
};

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST_F(RecorderTest, FilesAreRealVideoAndDownloadsServeThemWhole) {
  Start();
  int32_t size = 0;
  auto d = FirstDescriptor(&size);
  auto file = recorder_->Resolve(d);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->size, size);
  auto streams = avi_probe::Probe(file->path);
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].codec_type, "video");
  EXPECT_EQ(streams[0].width, 176);
  EXPECT_EQ(streams[0].packets, 2 * 25);
  int32_t magic = 0, code = -1;
  auto body = Download(d, &magic, &code);
  EXPECT_EQ(magic, static_cast<int32_t>(0xFFFFEEEE));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(std::string(body.begin(), body.end()), FileBytes(file->path));
}

TEST_F(RecorderTest, EachDownloadFaultAnswersAsItSays) {
  struct Case {
    DownloadFault fault;
    int32_t magic, code;
    int share;  // of the file sent, in halves
  } cases[] = {
      {DownloadFault::kStall, static_cast<int32_t>(0xFFFFEEEE), 0, 1},
      {DownloadFault::kShort, static_cast<int32_t>(0xFFFFEEEE), 0, 1},
      {DownloadFault::kMagic, 0x12345678, 0, 0},
      {DownloadFault::kCode2, static_cast<int32_t>(0xFFFFEEEE), 2, 0},
      {DownloadFault::kCode3, static_cast<int32_t>(0xFFFFEEEE), 3, 0},
      {DownloadFault::kCode4, static_cast<int32_t>(0xFFFFEEEE), 4, 0},
      {DownloadFault::kStale, static_cast<int32_t>(0xFFFFEEEE), 2, 0},
  };
  for (const Case& k : cases) {
    RecorderOptions o;
    o.downloadFault = k.fault;
    Start(o);
    int32_t size = 0, magic = 0, code = -1;
    auto d = FirstDescriptor(&size);
    auto body = Download(d, &magic, &code, 500);
    EXPECT_EQ(magic, k.magic) << static_cast<int>(k.fault);
    EXPECT_EQ(code, k.code) << static_cast<int>(k.fault);
    EXPECT_EQ(body.size(), static_cast<size_t>(size / 2 * k.share)) << static_cast<int>(k.fault);
    recorder_.reset();
  }
}

TEST_F(RecorderTest, ExportsReportProgressOrEndWithTheirStatus) {
  struct Case {
    int fail;
    std::vector<std::pair<int, int>> replies;  // (status, percent)
  } cases[] = {
      {0,
       {{0, 0},
        {0, 10},
        {0, 20},
        {0, 30},
        {0, 40},
        {0, 50},
        {0, 60},
        {0, 70},
        {0, 80},
        {0, 90},
        {0, 100}}},
      {1, {{0, 0}, {0, 10}, {0, 20}, {0, 30}, {0, 40}, {1, 40}}},
      {2, {{2, 0}}},
      {3, {{3, 0}}},
      {4, {{0, 0}, {0, 10}, {0, 20}, {0, 30}, {0, 40}, {4, 40}}},
  };
  for (const Case& k : cases) {
    RecorderOptions o;
    o.exportFail = k.fail;
    Start(o);
    int port = 0;
    SOCKET client = BindUdp(Loopback(), &port);
    int32_t size = 0;
    auto d = FirstDescriptor(&size);
    auto first = recorder_->Export(d, MakeAddress(Loopback(), port));
    ASSERT_TRUE(first);
    std::vector<std::pair<int, int>> got;
    auto add = [&](const uint8_t* p) {
      int32_t w[3];
      std::memcpy(w, p, 12);
      got.emplace_back(w[1], w[2]);
    };
    add(first->data());
    uint8_t datagram[64];
    while (WaitReadable(&client, 1, 300) != 0) {
      int n = recv(client, reinterpret_cast<char*>(datagram), sizeof datagram, 0);
      ASSERT_EQ(n, 32);
      add(datagram + 20);
    }
    closesocket(client);
    EXPECT_EQ(got, k.replies) << k.fail;
    recorder_.reset();
  }
}

}  // namespace
}  // namespace dvrsim
