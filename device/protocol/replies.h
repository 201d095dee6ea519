#pragma once
// Readers of the DVR's replies. Pure: a datagram's bytes in, a result out; nothing is read
// past the bytes given, whatever the datagram claims.
//
// A reply is refused (and the receiver drops and counts it) when it is shorter than its
// header, when its length is negative, or when the datagram holds fewer payload bytes than
// the length claims. Bytes after the claimed payload are ignored. Each payload reader then
// refuses a payload too short for its record.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "device/protocol/messages.h"

enum class ReplyFault {
  kNone,
  kShortHeader,     // fewer than 20 bytes
  kNegativeLength,  // length < 0
  kShortPayload,    // fewer payload bytes than the length claims, or than the record needs
};

struct Reply {
  int32_t command = 0;
  std::span<const uint8_t> payload;  // exactly `length` bytes, inside the datagram
};

// The command and payload of `datagram`; nullopt with `*fault` set when it is refused.
std::optional<Reply> ParseReply(std::span<const uint8_t> datagram, ReplyFault* fault);

// CMD_REC_QUERY. A payload of exactly 4 bytes holding -1 means no recording was found.
// Otherwise the entries are ceil(size / 60), the last one zero-padded when the payload is not
// a multiple of 60; none for an empty payload.
struct RecordReply {
  bool noneFound = false;
  std::vector<RecordEntry> entries;
};
RecordReply ReadRecordReply(std::span<const uint8_t> payload);

// CMD_STATUS: exactly one whole 868-byte record, anything else is refused.
std::optional<SW_SHOW_ST> ReadStatusReply(std::span<const uint8_t> payload);

// CMD_PTZ_CONFIG: the first 6 bytes.
std::optional<PtzConfig> ReadPtzConfigReply(std::span<const uint8_t> payload);

// CMD_USB_EXPORT: the first 12 bytes.
std::optional<ExportProgress> ReadExportProgress(std::span<const uint8_t> payload);

// CMD_RELAY: the int32 result (kRelayDone when switched).
std::optional<int32_t> ReadRelayReply(std::span<const uint8_t> payload);

// CMD_IMAGE_ADJUST: the first 8 bytes (bytes 4 to 7 are the settings).
std::optional<ImageSettings> ReadImageReply(std::span<const uint8_t> payload);

// The first answer on a download connection.
struct DownloadAnswer {
  enum Kind {
    kNoReply,      // fewer than 3 bytes
    kFileFollows,  // the magic and code 0
    kFailed,       // a nonzero code, or a wrong magic: `code` is the second word
  } kind = kNoReply;
  int32_t code = 0;
};
// Words cut short by the end of `bytes` read as if zero-padded. An answer with the right magic
// but without a whole code word is a failure (nothing says the file follows).
DownloadAnswer ReadDownloadReply(std::span<const uint8_t> bytes);
