#include "device/protocol/panel_receiver.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "device/protocol/dvr_socket.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/handle.h"
#include "platform/kernel/thread.h"

PanelReceiver::PanelReceiver(SOCKET sock, SW_SHOW_ARR_ST* table, PanelReplySink* sink, bool relays)
    : sock_(sock), table_(table), sink_(sink), relays_(relays) {}

PanelReceiver::~PanelReceiver() { Stop(); }

bool PanelReceiver::Start() {
  if (thread_ != nullptr) return true;
  closing_ = false;
  thread_ = CreateThread(nullptr, kStackBytes, &PanelReceiver::ThreadMain, this, 0, nullptr);
  return thread_ != nullptr;
}

void PanelReceiver::Stop() {
  if (thread_ == nullptr) return;
  closing_ = true;
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
}

DWORD PanelReceiver::ThreadMain(void* self) {
  static_cast<PanelReceiver*>(self)->Loop();
  return 0;
}

void PanelReceiver::Loop() {
  std::vector<uint8_t> buffer(kReceiveBufferBytes);
  while (!closing_) {
    if (WaitReadable(sock_, kWaitSeconds) <= 0) {
      Sleep(kQuietSleepMs);
      continue;
    }
    int got = ReceiveDatagram(sock_, buffer.data(), kReceiveBufferBytes);
    if (got < 0) {
      ++stats_.receiveErrors;
      continue;
    }
    Dispatch(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(got)));
  }
}

void PanelReceiver::Dispatch(std::span<const uint8_t> datagram) {
  ++stats_.datagrams;
  int32_t command;
  if (datagram.size() >= sizeof command) {
    std::memcpy(&command, datagram.data(), sizeof command);
    std::printf("have socket data!type:%d\n", command);
    std::fflush(stdout);
  }
  ReplyFault fault;
  auto reply = ParseReply(datagram, &fault);
  if (!reply) return Drop();
  switch (reply->command) {
    case CMD_REC_QUERY:
      sink_->OnRecords(ReadRecordReply(reply->payload));
      return;
    case CMD_PTZ_ACTION:
      return;
    case CMD_PTZ_CONFIG:
      if (auto config = ReadPtzConfigReply(reply->payload)) return sink_->OnPtzConfig(*config);
      return Drop();
    case CMD_USB_EXPORT:
      if (auto p = ReadExportProgress(reply->payload)) {
        return sink_->OnExportProgress(p->status, p->percent);
      }
      return Drop();
    case CMD_STATUS:
      if (auto record = ReadStatusReply(reply->payload)) {
        StorePanelRecord(table_, *record);
        ++stats_.statusRecords;
        return;
      }
      return Drop();
    case CMD_RELAY:
      if (relays_) return OnRelay(reply->payload);
      break;
  }
  sink_->ShowText(kTextUnknownType);
}

void PanelReceiver::OnRelay(std::span<const uint8_t> payload) {
  auto result = ReadRelayReply(payload);
  if (!result) return Drop();
  if (*result != kRelayDone) return sink_->ShowText(kTextRelayFailed);
  std::printf("set to new state :%x!\r\n", static_cast<unsigned>(sink_->RelayMask()));
  std::fflush(stdout);
  sink_->OnRelaySwitched();
}
