#include "device/records/records_test_support.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "device/lang/lang_table.h"
#include "device/protocol/dvr_socket.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/message_queue.h"
#include "platform/prompt/prompt.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui.h"
#include "platform/vfw/avi_probe.h"
#include "tools/dvrsim/catalogue.h"
#include "tools/dvrsim/recorder_options.h"
#include "tools/dvrsim/recorder_side.h"
#include "tools/dvrsim/recording_files.h"
#include "videolib/channel.h"

namespace device::records::test {
namespace {

std::mutex g_promptMutex;

int Answer(HWND, LPCSTR text, LPCSTR, UINT type) {
  std::lock_guard<std::mutex> lock(g_promptMutex);
  Prompts& p = ThePrompts();
  p.shown.push_back(text != nullptr ? text : "");
  if (p.answers.empty()) return DefaultButton(type);
  int a = p.answers.front();
  p.answers.pop_front();
  return a;
}

// The panel's side of the receive thread, as the panel hands replies on.
struct ForwardingSink : PanelReplySink {
  void OnRecords(RecordReply reply) override { ForwardRecords(std::move(reply)); }
  void OnExportProgress(int32_t status, int32_t percent) override {
    ForwardExportProgress(status, percent);
  }
};

}  // namespace

Prompts& ThePrompts() {
  static Prompts p;
  return p;
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool PumpUntil(const std::function<bool()>& done, int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (true) {
    Pump();
    if (done()) return true;
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

void RecordsTest::SetUp() {
  std::string error;
  display_ = platform::display::Display::CreateHeadless(1024, 768, &error);
  ASSERT_NE(display_, nullptr) << error;
  platform::gdi::InstallDcProvider();
  SetPromptHandler(&Answer);
  ThePrompts() = Prompts{};
  dir_ = avi_probe::TempDir();
}

void RecordsTest::TearDown() {
  dialog_.reset();
  if (receiver_) receiver_->Stop();
  receiver_.reset();
  if (sock_ != INVALID_SOCKET) closesocket(sock_);
  dvr_.reset();
  SetPromptHandler(nullptr);
  Pump();
  display_.reset();
}

void RecordsTest::StartDvr(const std::vector<std::string>& args) {
  std::vector<std::string> all = {"dvrsim",
                                  "--port",
                                  "0",
                                  "--channels",
                                  "4",
                                  "--size",
                                  "cif",
                                  "--record-cache",
                                  "/tmp/orvix-records-test-cache",
                                  "--export-step",
                                  "20",
                                  "--download-port",
                                  "0"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  options_ = dvrsim::ParseOptions(static_cast<int>(argv.size()), argv.data());
  dvr_ = std::make_unique<dvrsim::CommandServer>("127.0.0.1", 0, 4, dvrsim::CommandFaults{}, 1,
                                                 [](const std::string&) {});
  std::ostringstream log;
  dvrsim::AttachRecorder(*dvr_, options_, log);
  dvr_->Start();
  const std::string text = log.str();
  const auto at = text.find("downloads on TCP port ");
  ASSERT_NE(at, std::string::npos) << text;
  downloadPort_ = std::stoi(text.substr(at + 22));
}

void RecordsTest::OpenDialog(int channels, bool chinese) {
  device::lang::SelectLanguage(chinese ? device::lang::kChinese : device::lang::kEnglish);
  sock_ = OpenDatagramSocket();
  sink_ = std::make_unique<ForwardingSink>();
  receiver_ = std::make_unique<PanelReceiver>(sock_, &CChannel::m_swdata, sink_.get());
  ASSERT_TRUE(receiver_->Start());
  SearchSettings s;
  s.dvrAddr = "127.0.0.1";
  s.sock = sock_;
  s.channelCount = channels;
  s.sipName = "dvr";
  s.chinese = chinese;
  s.commandPort = dvr_ ? dvr_->port() : 1;
  s.downloadPort = downloadPort_;
  dialog_ = std::make_unique<CVideoSearchDlg>(s);
  dialog_->SetSaveAs([this](HWND, const std::string& name, std::string* path) {
    ++saveAsCalls_;
    *path = dir_ + "/" + name;
    return true;
  });
  ASSERT_TRUE(dialog_->Create(nullptr));
  Pump();
}

void RecordsTest::Search(std::initializer_list<int> channels, int types) {
  HWND d = dialog_->m_hWnd;
  for (int ch = 1; ch <= 8; ++ch) CheckDlgButton(d, ChannelCheckId(ch), BST_UNCHECKED);
  for (int ch : channels) CheckDlgButton(d, ChannelCheckId(ch), BST_CHECKED);
  const int typeIds[4] = {1066, 1067, 1068, 1069};
  for (int i = 0; i < 4; ++i) CheckDlgButton(d, typeIds[i], (types >> i & 1) ? BST_CHECKED : 0);
  const size_t before = ThePrompts().shown.size();
  dialog_->OnSearch();
  ASSERT_TRUE(PumpUntil([&] { return ThePrompts().shown.size() > before; }));
}

void RecordsTest::DownloadRow(int row, const std::string& name) {
  dialog_->SetSaveAs([this, name](HWND, const std::string&, std::string* path) {
    ++saveAsCalls_;
    *path = dir_ + "/" + name;
    return true;
  });
  dialog_->SelectRow(row);
  dialog_->OnRecordDownload();
}

bool RecordsTest::Shown(const std::string& text) const {
  for (const auto& s : ThePrompts().shown) {
    if (s == text) return true;
  }
  return false;
}

std::string RecordsTest::DvrFile(int row) {
  dvrsim::Catalogue catalogue(options_.channels, options_.records.recordsPerDay,
                              std::time(nullptr));
  dvrsim::RecordingFiles files(dvrsim::CacheDirectory(options_.records), options_.width,
                               options_.height, options_.records.recordSeconds);
  for (const auto& r : catalogue.all()) {
    if (r.startText == Cell(row, 3) && "channel" + std::to_string(r.channel) == Cell(row, 1)) {
      return ReadFile(files.Get(r).path);
    }
  }
  return "";
}

}  // namespace device::records::test
