#pragma once
// What the record search tests share: a headless desktop, a simulator on loopback (free
// ports) with its recorder, the panel's socket and receive thread, message boxes answered
// from a script, and a loop that serves the dialogs until a condition holds.

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/protocol/panel_receiver.h"
#include "device/records/video_search_dlg.h"
#include "platform/display/display.h"
#include "tools/dvrsim/command_server.h"
#include "tools/dvrsim/options.h"

namespace device::records::test {

// Message boxes: each text shown, in order; answers taken from the front of the script
// (the default button when it is empty).
struct Prompts {
  std::vector<std::string> shown;
  std::deque<int> answers;
};
Prompts& ThePrompts();

// Serves every window message of the thread until `done` holds or `ms` pass; its last
// answer.
bool PumpUntil(const std::function<bool()>& done, int ms = 10000);
void Pump();

class RecordsTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // A simulator with these recorder options ("--download-fault stall" ...), then the
  // dialog on it.
  void StartDvr(const std::vector<std::string>& args = {});
  void OpenDialog(int channels = 4, bool chinese = false);
  // The search of today for the channels and types given (1-based; type bits).
  void Search(std::initializer_list<int> channels, int types);
  // Downloads `row` to `name` in the temporary folder.
  void DownloadRow(int row, const std::string& name);
  std::string Cell(int row, int column) { return dialog_->results().GetItemText(row, column); }
  bool Shown(const std::string& text) const;
  // The bytes the simulator keeps for the row's recording.
  std::string DvrFile(int row);

  std::unique_ptr<platform::display::Display> display_;
  std::unique_ptr<dvrsim::CommandServer> dvr_;
  dvrsim::Options options_;
  int downloadPort_ = 0;
  SOCKET sock_ = INVALID_SOCKET;
  std::unique_ptr<PanelReplySink> sink_;
  std::unique_ptr<PanelReceiver> receiver_;
  std::unique_ptr<CVideoSearchDlg> dialog_;
  std::string dir_;
  int saveAsCalls_ = 0;
};

std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);

}  // namespace device::records::test
