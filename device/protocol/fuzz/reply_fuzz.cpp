// Datagrams as they arrive on the panel socket: the header check, then every payload reader
// on what it lets through, and the download answer on the raw bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "device/protocol/replies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> datagram(data, size);
  ReadDownloadReply(datagram);
  ReplyFault fault;
  auto reply = ParseReply(datagram, &fault);
  if (!reply) return 0;
  const uint8_t* end = data + size;
  if (reply->payload.data() < data + kHeaderBytes ||
      reply->payload.data() + reply->payload.size() > end) {
    __builtin_trap();
  }
  RecordReply records = ReadRecordReply(reply->payload);
  const size_t held = records.entries.size() * kRecordEntryBytes;
  if (records.noneFound ? !records.entries.empty() || reply->payload.size() != 4
                        : held < reply->payload.size() || held >= reply->payload.size() + 60) {
    __builtin_trap();
  }
  ReadStatusReply(reply->payload);
  ReadPtzConfigReply(reply->payload);
  ReadExportProgress(reply->payload);
  ReadRelayReply(reply->payload);
  ReadImageReply(reply->payload);
  return 0;
}
