#include "device/protocol/replies.h"

#include <algorithm>
#include <cstring>

namespace {

// The first sizeof(T) bytes of `bytes` as a T; nullopt when there are fewer.
template <typename T>
std::optional<T> ReadRecord(std::span<const uint8_t> bytes) {
  if (bytes.size() < sizeof(T)) return std::nullopt;
  T record;
  std::memcpy(&record, bytes.data(), sizeof record);
  return record;
}

// The int32 at `offset`, its missing bytes read as zero.
int32_t PaddedWord(std::span<const uint8_t> bytes, size_t offset) {
  uint8_t word[4] = {};
  if (offset < bytes.size()) {
    std::memcpy(word, bytes.data() + offset, std::min<size_t>(4, bytes.size() - offset));
  }
  int32_t value;
  std::memcpy(&value, word, sizeof value);
  return value;
}

}  // namespace

std::optional<Reply> ParseReply(std::span<const uint8_t> datagram, ReplyFault* fault) {
  auto header = ReadRecord<CommandHeader>(datagram);
  if (!header) {
    *fault = ReplyFault::kShortHeader;
    return std::nullopt;
  }
  if (header->length < 0) {
    *fault = ReplyFault::kNegativeLength;
    return std::nullopt;
  }
  const size_t length = static_cast<size_t>(header->length);
  if (length > datagram.size() - kHeaderBytes) {
    *fault = ReplyFault::kShortPayload;
    return std::nullopt;
  }
  *fault = ReplyFault::kNone;
  return Reply{header->command, datagram.subspan(kHeaderBytes, length)};
}

RecordReply ReadRecordReply(std::span<const uint8_t> payload) {
  RecordReply reply;
  if (payload.size() == sizeof(int32_t) && PaddedWord(payload, 0) == kNoRecords) {
    reply.noneFound = true;
    return reply;
  }
  const size_t count = (payload.size() + kRecordEntryBytes - 1) / kRecordEntryBytes;
  reply.entries.resize(count);  // value-initialised: the last entry's tail stays zero
  if (count > 0) std::memcpy(reply.entries.data(), payload.data(), payload.size());
  return reply;
}

std::optional<SW_SHOW_ST> ReadStatusReply(std::span<const uint8_t> payload) {
  if (payload.size() != static_cast<size_t>(kStatusRecordBytes)) return std::nullopt;
  return ReadRecord<SW_SHOW_ST>(payload);
}

std::optional<PtzConfig> ReadPtzConfigReply(std::span<const uint8_t> payload) {
  return ReadRecord<PtzConfig>(payload);
}

std::optional<ExportProgress> ReadExportProgress(std::span<const uint8_t> payload) {
  return ReadRecord<ExportProgress>(payload);
}

std::optional<int32_t> ReadRelayReply(std::span<const uint8_t> payload) {
  return ReadRecord<int32_t>(payload);
}

std::optional<ImageSettings> ReadImageReply(std::span<const uint8_t> payload) {
  return ReadRecord<ImageSettings>(payload);
}

DownloadAnswer ReadDownloadReply(std::span<const uint8_t> bytes) {
  DownloadAnswer answer;
  if (bytes.size() < static_cast<size_t>(kDownloadReplyMinBytes)) return answer;
  answer.code = PaddedWord(bytes, 4);
  const bool whole = bytes.size() >= sizeof(DownloadReply);
  answer.kind = whole && PaddedWord(bytes, 0) == kDownloadMagic && answer.code == kDownloadFollows
                    ? DownloadAnswer::kFileFollows
                    : DownloadAnswer::kFailed;
  return answer;
}
