#pragma once
// The control panel's receive thread: the only reader of the panel socket. It waits up to
// 1 s for a datagram (sleeping 50 ms after a quiet wait), receives one datagram of up to
// 30 740 bytes, prints "have socket data!type:%d\n" (when it holds a command word at all) and
// dispatches it by its command code:
//
//   18  the records (or "none found") to the sink
//   26  ignored
//   27  the PtzConfig to the sink
//   46  the export status and percent to the sink
//   54  the information panel record into the table (two-slot store, StorePanelRecord)
//   57  result 0: "set to new state :%x!\r\n" with the sink's relay mask, then the sink
//       redraws the relay buttons; otherwise the sink shows "can't control relay"
//   any other code, and 57 where relays are not expected: the sink shows "unknow type"
//
// A datagram that is not a whole reply (shorter than its header or than the length it
// claims, a negative length, a payload too short for its record, a status record that is not
// exactly 868 bytes) is dropped and counted; nothing is read past the bytes received.
//
// Built as device_receiver (against LocPlexa) and device_receiver_np (against Plexa): the
// table it stores into is that video library's.

#include <atomic>
#include <cstdint>
#include <span>

#include "device/protocol/messages.h"
#include "device/protocol/replies.h"
#include "platform/kernel/win_types.h"
#include "platform/net/net.h"

// Language-table IDs of the texts the receive thread has shown.
inline constexpr int kTextUnknownType = 601;  // "unknow type"
inline constexpr int kTextRelayFailed = 649;  // "can't control relay"

// The dialogs' side. Every call comes on the receive thread and must not block for long:
// closing the panel waits for the thread. The default of each call does nothing.
class PanelReplySink {
 public:
  virtual ~PanelReplySink() = default;
  // CMD_REC_QUERY: forwarded only while the record search dialog is open.
  virtual void OnRecords(RecordReply /*reply*/) {}
  // CMD_PTZ_CONFIG: forwarded only while the PTZ settings dialog is open.
  virtual void OnPtzConfig(const PtzConfig& /*config*/) {}
  // CMD_USB_EXPORT.
  virtual void OnExportProgress(int32_t /*status*/, int32_t /*percent*/) {}
  // CMD_RELAY with result 0: redraw both relay buttons from the current mask.
  virtual void OnRelaySwitched() {}
  // The current relay mask, for the line printed on a switch.
  virtual int32_t RelayMask() const { return 0; }
  // A message box with a text of the language table (kText* above).
  virtual void ShowText(int /*textId*/) {}
};

struct PanelReceiverStats {
  std::atomic<uint64_t> datagrams{0};      // received
  std::atomic<uint64_t> dropped{0};        // refused as not a whole reply
  std::atomic<uint64_t> receiveErrors{0};  // failed receives
  std::atomic<uint64_t> statusRecords{0};  // stored into the table
};

class PanelReceiver {
 public:
  static constexpr int kWaitSeconds = 1;
  static constexpr DWORD kQuietSleepMs = 50;
  static constexpr size_t kStackBytes = 128 * 1024;

  // `sock` is read only by this object's thread; `table` (the video library's
  // CChannel::m_swdata) and `sink` must outlive it. `relays`: whether relay replies are
  // expected (the NPAPI build's panel has no relay buttons and shows "unknow type" for them).
  PanelReceiver(SOCKET sock, SW_SHOW_ARR_ST* table, PanelReplySink* sink, bool relays = true);
  // Stops the thread.
  ~PanelReceiver();
  PanelReceiver(const PanelReceiver&) = delete;
  PanelReceiver& operator=(const PanelReceiver&) = delete;

  // Starts the thread; false when it cannot be created.
  bool Start();
  // Sets the closing flag and waits for the thread (it sees the flag within about 1 s, unless
  // the sink blocks). The socket stays open: its owner closes it afterwards.
  void Stop();

  // Handles one received datagram as the thread does. Public so that the dispatch can be
  // driven without a socket.
  void Dispatch(std::span<const uint8_t> datagram);

  const PanelReceiverStats& stats() const { return stats_; }

 private:
  static DWORD ThreadMain(void* self);
  void Loop();
  void OnRelay(std::span<const uint8_t> payload);
  void Drop() { ++stats_.dropped; }

  SOCKET sock_;
  SW_SHOW_ARR_ST* table_;
  PanelReplySink* sink_;
  bool relays_;
  std::atomic<bool> closing_{false};
  HANDLE thread_ = nullptr;
  PanelReceiverStats stats_;
};
