// The record search against the simulator on loopback: real datagrams through the panel's
// receive thread, real downloads over TCP into real files, FFmpeg reading what arrived.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "device/protocol/requests.h"
#include "device/records/download_job.h"
#include "device/records/download_name.h"
#include "device/records/record_texts.h"
#include "device/records/records_test_support.h"
#include "platform/kernel/clock.h"
#include "platform/net/net.h"
#include "platform/ui/commctrl.h"
#include "platform/ui/dialog.h"
#include "platform/vfw/avi_probe.h"
#include "tools/dvrsim/catalogue.h"

namespace device::records {
namespace {

using test::Exists;
using test::PumpUntil;
using test::ReadFile;
using test::ThePrompts;

TEST(RecordTexts, TypesChannelsAndNames) {
  const std::pair<int, const char*> types[] = {
      {0, "unknow record"}, {1, "normal record"}, {2, "move detect"},   {3, "unknow record"},
      {4, "alarm record"},  {5, "unknow record"}, {7, "unknow record"}, {8, "manual record"},
      {9, "unknown"},       {65535, "unknown"}};
  for (const auto& [type, text] : types) EXPECT_EQ(RecordTypeText(type, false), text) << type;
  EXPECT_EQ(ChannelText(3, false), "channel3");
  EXPECT_EQ(FoundText(7, false), "find 7 records");
  EXPECT_EQ(ColumnTitle(6, false), "Download");
  EXPECT_NE(ColumnTitle(6, true), "Download");
  // The default name: ":" removed, " " made "_", and nothing that leaves the folder.
  const struct {
    std::string sip, start, end, channel;
    bool control;
    std::string name;
  } names[] = {
      {"dvr", "2026-12-09 08:00:00", "2026-12-09 08:59:59", "channel3", true,
       "dvr_2026-12-09_080000_2026-12-09_085959_chchannel3.avi"},
      {"", "2026-12-09 08:00:00", "2026-12-09 08:59:59", "channel3", false,
       "2026-12-09_080000_2026-12-09_085959_chchannel3.avi"},
      {"../../etc", "a/b", "c\\d", "e\x01", true, "______etc_a_b_c_d_che_.avi"},
      {"x", "..", "..", "..", true, "x_______ch__.avi"},
  };
  for (const auto& n : names) {
    std::string name = DefaultDownloadName(n.sip, n.start, n.end, n.channel, n.control);
    EXPECT_EQ(name, n.name);
    EXPECT_EQ(name.find('/'), std::string::npos);
    EXPECT_EQ(name.find(".."), std::string::npos);
  }
  // A GBK character whose second byte is a backslash stays whole.
  EXPECT_EQ(SafeFileName("\xD5\x5C/"), "\xD5\x5C_");
}

TEST(DownloadSlots, NeverMoreThanFiveWhateverTheThreads) {
  DownloadSlots slots;
  std::atomic<int> reserved{0}, most{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) {
        int s = slots.Reserve();
        if (s < 0) continue;
        slots.Assign(s, static_cast<DWORD>(t + 1));
        int now = ++reserved;
        int seen = most;
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
        EXPECT_LE(slots.Count(), DownloadSlots::kSlots);
        --reserved;
        slots.Release(s);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_LE(most.load(), DownloadSlots::kSlots);
  EXPECT_EQ(slots.Count(), 0);
  int a = slots.Reserve();
  slots.Assign(a, 77);
  EXPECT_TRUE(slots.Cancel(77));
  EXPECT_FALSE(slots.KeepRunning(a));
  EXPECT_FALSE(slots.Cancel(78));
}

using RecordsTest = test::RecordsTest;

// What a download told the dialogs, in order.
struct EventLog : DownloadEvents {
  void ListRow(DWORD, const std::string&) override { Add("row"); }
  void Progress(DWORD, int percent) override { Add("progress " + std::to_string(percent)); }
  void Finished(int, int result) override { Add("finished " + std::to_string(result)); }
  void Show(int text, int code) override {
    Add("show " + std::to_string(text) + " " + std::to_string(code));
  }
  void Add(std::string e) {
    std::lock_guard<std::mutex> lock(mutex);
    events.push_back(std::move(e));
  }
  std::mutex mutex;
  std::vector<std::string> events;
};

// Today's first recording of channel 1 as the simulator lists it, claiming `size` bytes.
RecordEntry FirstEntry(const dvrsim::Options& o, int32_t size) {
  dvrsim::Catalogue catalogue(o.channels, o.records.recordsPerDay, std::time(nullptr));
  const dvrsim::Recording* first = nullptr;
  for (const auto& r : catalogue.all()) {
    if (r.channel == 1 && r.day == 1) {
      first = &r;
      break;
    }
  }
  RecordEntry entry{};
  auto bytes = dvrsim::EncodeRecordEntry(*first, size);
  std::memcpy(&entry, bytes.data(), sizeof entry);
  return entry;
}

TEST_F(RecordsTest, AnEmptyFileCompletesAtOnceAndASilentPeerIsGivenUpOn) {
  StartDvr({"--download-fault", "stall"});
  struct Case {
    int32_t size;
    int stallSeconds;
    DownloadResult result;
    std::vector<std::string> events;
    bool file;
  } cases[] = {
      {0, 60, kDownloadDone, {"row", "progress 100", "finished 0"}, true},
      {-1, 60, kDownloadFailed, {"row", "progress -1", "finished 1", "show 615 0"}, false},
      // Half the file, then silence for longer than the bound.
      {1 << 20, 2, kDownloadFailed, {"row", "progress -1", "finished 1", "show 615 0"}, false},
  };
  for (const Case& k : cases) {
    DownloadSlots slots;
    DownloadJob job;
    job.address = "127.0.0.1";
    job.port = downloadPort_;
    job.slot = slots.Reserve();
    job.path = dir_ + "/sized" + std::to_string(k.size) + ".avi";
    job.descriptor = DescribeRecord(FirstEntry(options_, k.size), kStorageHardDisk);
    job.stallSeconds = k.stallSeconds;
    EventLog log;
    EXPECT_EQ(RunDownload(job, slots, log), k.result) << k.size;
    std::vector<std::string> events;
    for (const auto& e : log.events) {
      // Progress on the way depends on how the bytes came.
      if (e.rfind("progress ", 0) == 0 && e != "progress 100" && e != "progress -1") continue;
      events.push_back(e);
    }
    EXPECT_EQ(events, k.events) << k.size;
    EXPECT_EQ(Exists(job.path), k.file) << k.size;
    EXPECT_FALSE(Exists(PartPath(job.path)));
    EXPECT_EQ(slots.Count(), 0);
  }
  EXPECT_EQ(ReadFile(dir_ + "/sized0.avi"), "");
}

// A stand-in DVR on loopback that only reads what the dialog sends.
struct DatagramCatcher {
  DatagramCatcher() {
    sock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = inet_addr("127.0.0.1");
    bind(sock, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int length = sizeof a;
    getsockname(sock, reinterpret_cast<sockaddr*>(&a), &length);
    port = ntohs(a.sin_port);
  }
  ~DatagramCatcher() { closesocket(sock); }
  std::vector<uint8_t> Take() {
    WSAPOLLFD p{sock, POLLRDNORM, 0};
    if (WSAPoll(&p, 1, 2000) <= 0) return {};
    std::vector<uint8_t> d(2048);
    d.resize(static_cast<size_t>(recv(sock, reinterpret_cast<char*>(d.data()), 2048, 0)));
    return d;
  }
  SOCKET sock;
  int port = 0;
};

void SetPicker(HWND dialog, int id, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  t.wHour = hour, t.wMinute = minute, t.wSecond = second, t.wMilliseconds = 0;
  SendDlgItemMessageA(dialog, id, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
}

TEST_F(RecordsTest, TheQueryCarriesTheMasksAndTheTimeCheckAllowsEqualTimes) {
  DatagramCatcher dvr;
  OpenDialog(4);
  // Channels 5 to 8 are hidden with four channels.
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog_->m_hWnd, ChannelCheckId(4))));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog_->m_hWnd, ChannelCheckId(5))));
  dialog_.reset();
  SearchSettings s;
  s.dvrAddr = "127.0.0.1";
  s.sock = sock_;
  s.commandPort = dvr.port;
  dialog_ = std::make_unique<CVideoSearchDlg>(s);
  ASSERT_TRUE(dialog_->Create(nullptr));
  HWND d = dialog_->m_hWnd;
  dialog_->OnSearch();
  EXPECT_EQ(ThePrompts().shown.back(), "Please select the channel you want to search!");
  CheckDlgButton(d, ChannelCheckId(1), BST_CHECKED);
  CheckDlgButton(d, ChannelCheckId(3), BST_CHECKED);
  dialog_->OnSearch();
  EXPECT_EQ(ThePrompts().shown.back(), "Please select the type of record you want to search!");
  CheckDlgButton(d, 1066, BST_CHECKED);
  CheckDlgButton(d, 1068, BST_CHECKED);
  SetPicker(d, 1093, 10, 0, 0);
  SetPicker(d, 1094, 10, 0, 0);
  const size_t shown = ThePrompts().shown.size();
  dialog_->OnSearch();
  EXPECT_EQ(ThePrompts().shown.size(), shown);  // equal times pass
  std::vector<uint8_t> q = dvr.Take();
  ASSERT_EQ(q.size(), 72u);
  int32_t words[8];
  std::memcpy(words, q.data(), sizeof words);
  EXPECT_EQ(words[0], 18);
  EXPECT_EQ(words[1], 1);
  EXPECT_EQ(words[4], 52);
  EXPECT_EQ(words[5], 5);  // channels 1 and 3
  EXPECT_EQ(words[6], 5);  // normal and alarm
  EXPECT_EQ(words[7], 0);  // hard disk
  char start[20];
  std::memcpy(start, &q[32], 20);
  EXPECT_EQ(std::string(start).substr(10), " 10:00:00");
  SetPicker(d, 1093, 10, 0, 1);
  dialog_->OnSearch();
  EXPECT_EQ(ThePrompts().shown.back(), "Start time can't greater than end time!");
  EXPECT_TRUE(dvr.Take().empty());
}

TEST_F(RecordsTest, RepliesOfNoneAndOfAPartialEntryReachTheList) {
  OpenDialog(4);
  // -1 alone: none found.
  std::vector<uint8_t> none = BuildDatagram(CMD_REC_QUERY, "\xFF\xFF\xFF\xFF", 4);
  receiver_->Dispatch(none);
  ASSERT_TRUE(PumpUntil([] { return !ThePrompts().shown.empty(); }));
  EXPECT_EQ(ThePrompts().shown.back(), "find 0 records");
  // 130 bytes: three entries, the last zero-padded.
  std::vector<uint8_t> payload(130, 0);
  RecordEntry e{};
  e.channel = 2;
  e.recordType = kRecordAlarm;
  std::strcpy(e.startTime, "2026-12-09 01:00:00");
  std::memcpy(payload.data(), &e, 60);
  std::memcpy(payload.data() + 60, &e, 60);
  receiver_->Dispatch(BuildDatagram(CMD_REC_QUERY, payload.data(), payload.size()));
  ASSERT_TRUE(PumpUntil([] { return ThePrompts().shown.back() == "find 3 records"; }));
  ASSERT_EQ(dialog_->results().GetItemCount(), 3);
  EXPECT_EQ(Cell(0, 0), "00001");
  EXPECT_EQ(Cell(1, 1), "channel2");
  EXPECT_EQ(Cell(1, 2), "alarm record");
  EXPECT_EQ(Cell(2, 1), "channel0");
  EXPECT_EQ(Cell(2, 2), "unknow record");
  EXPECT_EQ(Cell(2, 3), "");
}

TEST_F(RecordsTest, FiveDownloadsAtOnceArriveWholeAndPlayable) {
  StartDvr();
  OpenDialog(4);
  Search({1, 3}, kRecordNormal | kRecordAlarm);
  const int rows = dialog_->results().GetItemCount();
  ASSERT_GE(rows, 5);
  EXPECT_EQ(ThePrompts().shown.back(), "find " + std::to_string(rows) + " records");
  for (int r = 0; r < rows; ++r) {
    EXPECT_TRUE(Cell(r, 1) == "channel1" || Cell(r, 1) == "channel3") << Cell(r, 1);
    EXPECT_TRUE(Cell(r, 2) == "normal record" || Cell(r, 2) == "alarm record") << Cell(r, 2);
  }
  for (int r = 0; r < 5; ++r) DownloadRow(r, "rec" + std::to_string(r) + ".avi");
  for (int r = 0; r < 5; ++r) EXPECT_EQ(Cell(r, 6), "Downloading");
  ASSERT_TRUE(PumpUntil([&] {
    for (int r = 0; r < 5; ++r) {
      if (Cell(r, 6) != "have download") return false;
    }
    return dialog_->runningDownloads() == 0 && dialog_->downloadList().list().GetItemCount() == 5;
  }));
  for (int r = 0; r < 5; ++r) {
    const std::string path = dir_ + "/rec" + std::to_string(r) + ".avi";
    const std::string bytes = ReadFile(path);
    EXPECT_FALSE(bytes.empty());
    EXPECT_EQ(bytes, DvrFile(r)) << path;
    EXPECT_FALSE(Exists(PartPath(path)));
    auto streams = avi_probe::Probe(path);
    ASSERT_EQ(streams.size(), 1u) << path;
    EXPECT_EQ(streams[0].width, 352);
    EXPECT_EQ(dialog_->downloadList().list().GetItemText(r, 1), "100%");
  }
  // A finished row asks to delete; No keeps it.
  ThePrompts().answers = {IDNO};
  dialog_->downloadList().OnDoubleClick(0);
  EXPECT_EQ(ThePrompts().shown.back(), "Sure to delete?");
  EXPECT_EQ(dialog_->downloadList().list().GetItemCount(), 5);
  // A downloaded row asks before it is fetched again; No leaves it.
  const int calls = saveAsCalls_;
  ThePrompts().answers = {IDNO};
  DownloadRow(0, "again.avi");
  EXPECT_EQ(ThePrompts().shown.back(),
            "The Selected video has been downloaded, whether to re-download!");
  EXPECT_EQ(saveAsCalls_, calls);
}

TEST_F(RecordsTest, ASixthIsRefusedACancelLeavesNoFileAndClosingCancelsTheRest) {
  StartDvr({"--download-fault", "stall", "--record-seconds", "4"});
  OpenDialog(4);
  Search({1, 2, 3, 4}, 0xF);
  ASSERT_GE(dialog_->results().GetItemCount(), 6);
  for (int r = 0; r < 5; ++r) DownloadRow(r, "stall" + std::to_string(r) + ".avi");
  const int calls = saveAsCalls_;
  DownloadRow(5, "sixth.avi");
  EXPECT_EQ(ThePrompts().shown.back(), "It can be up to 5 simultaneous download!");
  EXPECT_EQ(saveAsCalls_, calls);  // before the file dialog
  auto& list = dialog_->downloadList().list();
  // Half of each file arrives, then nothing.
  ASSERT_TRUE(PumpUntil([&] {
    if (list.GetItemCount() != 5) return false;
    for (int r = 0; r < 5; ++r) {
      if (list.GetItemText(r, 1).find('%') == std::string::npos) return false;
    }
    return true;
  }));
  // The list's rows come in the order the answers came; its first is any of the five.
  const std::string cancelled = list.GetItemText(0, 0);
  EXPECT_TRUE(Exists(PartPath(cancelled)));  // half written, beside the chosen name
  EXPECT_FALSE(Exists(cancelled));
  ThePrompts().answers = {IDYES};
  dialog_->downloadList().OnDoubleClick(0);
  EXPECT_EQ(ThePrompts().shown.back(), "Cancel the download?");
  EXPECT_EQ(list.GetItemCount(), 4);
  auto cancelledRows = [&] {
    int n = 0;
    for (int r = 0; r < 5; ++r) n += Cell(r, 6) == "Cancelled";
    return n;
  };
  ASSERT_TRUE(PumpUntil([&] { return cancelledRows() == 1; }));
  EXPECT_FALSE(Exists(cancelled));
  EXPECT_FALSE(Exists(PartPath(cancelled)));
  EXPECT_EQ(dialog_->runningDownloads(), 4);
  // Closing asks; No keeps everything running.
  ThePrompts().answers = {IDNO};
  EXPECT_FALSE(dialog_->OnClose());
  EXPECT_EQ(ThePrompts().shown.back(),
            "There are file is being downloaded, close the window to cancel all downloads!");
  ThePrompts().answers = {IDYES};
  EXPECT_TRUE(dialog_->OnClose());
  EXPECT_EQ(dialog_->runningDownloads(), 0);
  for (int r = 1; r < 5; ++r) {
    EXPECT_EQ(Cell(r, 6), "Cancelled") << r;
    EXPECT_FALSE(Exists(dir_ + "/stall" + std::to_string(r) + ".avi"));
    EXPECT_FALSE(Exists(PartPath(dir_ + "/stall" + std::to_string(r) + ".avi")));
  }
}

TEST_F(RecordsTest, EveryFailedDownloadEndsAsFailedWithItsMessage) {
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"--download-fault", "code2"}, "File not existed!"},
      {{"--download-fault", "code3"}, "Open the device file failed!"},
      {{"--download-fault", "code4"}, "Read the device file failed!"},
      {{"--download-fault", "stale"}, "File not existed!"},
      {{"--download-fault", "magic"}, "Download failed! code:0"},
      {{"--download-fault", "short"}, "download failed"},
  };
  for (const auto& k : cases) {
    StartDvr(k.args);
    OpenDialog(4);
    Search({1}, 0xF);
    const std::string path = dir_ + "/failed.avi";
    DownloadRow(0, "failed.avi");
    ASSERT_TRUE(PumpUntil([&] { return Cell(0, 6) == "download failed"; })) << k.message;
    ASSERT_TRUE(PumpUntil([&] { return ThePrompts().shown.back() == k.message; })) << k.message;
    EXPECT_FALSE(Exists(path));
    EXPECT_FALSE(Exists(PartPath(path)));
    TearDown();
    SetUp();
  }
  // Nothing listening: the connection fails.
  StartDvr();
  OpenDialog(4);
  Search({1}, 0xF);
  dialog_.reset();
  SearchSettings s;
  s.dvrAddr = "127.0.0.1";
  s.sock = sock_;
  s.commandPort = dvr_->port();
  s.downloadPort = 1;
  dialog_ = std::make_unique<CVideoSearchDlg>(s);
  dialog_->SetSaveAs([&](HWND, const std::string& name, std::string* path) {
    *path = dir_ + "/" + name;
    return true;
  });
  ASSERT_TRUE(dialog_->Create(nullptr));
  Search({1}, 0xF);
  dialog_->SelectRow(0);
  dialog_->OnRecordDownload();
  ASSERT_TRUE(PumpUntil([&] { return Cell(0, 6) == "download failed"; }));
  ASSERT_TRUE(PumpUntil([&] { return ThePrompts().shown.back() == "Connection failed!"; }));
}

TEST_F(RecordsTest, UsbExportRunsToCompleteOrEndsAsItsStatusSays) {
  const struct {
    std::string fail;
    std::string message;  // "" when it completes
    std::string cell;
  } cases[] = {
      {"0", "", "Complete"},           {"1", "USB export fails!", "40%"},
      {"2", "USB not connected!", ""}, {"3", "USB storage space is not enough!", ""},
      {"4", "USB export fails!", ""},
  };
  for (const auto& k : cases) {
    StartDvr({"--export-fail", k.fail});
    OpenDialog(4);
    Search({2}, 0xF);
    dialog_->SelectRow(1);
    dialog_->OnUsbExport();
    EXPECT_EQ(dialog_->exportRow(), 1);
    dialog_->OnUsbExport();
    EXPECT_EQ(ThePrompts().shown.back(), "There are files that are being exported, please wait!");
    ASSERT_TRUE(PumpUntil([&] { return dialog_->exportRow() == -1; })) << k.fail;
    EXPECT_EQ(Cell(1, 5), k.cell) << k.fail;
    if (!k.message.empty()) {
      EXPECT_EQ(ThePrompts().shown.back(), k.message);
    }
    TearDown();
    SetUp();
  }
}

}  // namespace
}  // namespace device::records
