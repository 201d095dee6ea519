#pragma once
// The DVR command protocol: every record that crosses the wire, with its byte layout.
//
// Commands and their replies travel as UDP datagrams to and from port 2700 of the DVR, each a
// CommandHeader followed by `length` payload bytes. Recordings are downloaded over TCP port
// 2800: the client sends a RecordDescriptor alone, the DVR answers a DownloadReply and then the
// file's bytes. A request is matched to its reply only by the command code and the socket.
//
// All integers are little-endian, texts are 8-bit and NUL-padded to their field. The records
// below are laid out exactly as on the wire (no padding: every field sits at its natural
// alignment), so a datagram's bytes are copied in and out of them with memcpy.

#include <bit>
#include <cstddef>
#include <cstdint>

#include "videolib/info_panel.h"

static_assert(std::endian::native == std::endian::little,
              "the command records are copied to and from the wire as they lie in memory");

inline constexpr int kCommandPort = 2700;   // UDP: commands and their replies
inline constexpr int kDownloadPort = 2800;  // TCP: one connection per download

// Command codes, the first word of every datagram.
enum DvrCommand : int32_t {
  CMD_REC_QUERY = 18,     // RecordQuery -> RecordEntry[] or the int32 -1 alone
  CMD_PTZ_ACTION = 26,    // PtzAction -> a reply of this code is ignored
  CMD_PTZ_CONFIG = 27,    // PtzConfig -> PtzConfig
  CMD_USB_EXPORT = 46,    // RecordDescriptor -> ExportProgress
  CMD_STATUS = 54,        // one byte, kStatusRefresh* -> one SW_SHOW_ST record (868 bytes)
  CMD_IMAGE_ADJUST = 56,  // ImageQuery or ImageSettings -> ImageSettings
  CMD_RELAY = 57,         // int32 relay mask -> int32 result, 0 = switched
};

// At the start of every datagram, in both directions. Requests carry 1 in the three middle
// words; receivers ignore them.
struct CommandHeader {
  int32_t command;
  int32_t word1;
  int32_t word2;
  int32_t word3;
  int32_t length;  // payload bytes that follow
};
static_assert(sizeof(CommandHeader) == 20);
static_assert(offsetof(CommandHeader, command) == 0 && offsetof(CommandHeader, word1) == 4 &&
              offsetof(CommandHeader, word2) == 8 && offsetof(CommandHeader, word3) == 12 &&
              offsetof(CommandHeader, length) == 16);
inline constexpr int kHeaderBytes = sizeof(CommandHeader);
inline constexpr int32_t kHeaderWord = 1;

// Record type bits, in RecordQuery::typeMask and RecordEntry::recordType.
inline constexpr int kRecordNormal = 1;
inline constexpr int kRecordMoveDetect = 2;
inline constexpr int kRecordAlarm = 4;
inline constexpr int kRecordManual = 8;

// Storage searched or named.
inline constexpr int kStorageHardDisk = 0;
inline constexpr int kStorageSdCard = 1;

inline constexpr int kTimeTextBytes = 20;  // "yyyy-MM-dd HH:mm:ss" and its NUL

// Payload of CMD_REC_QUERY.
struct RecordQuery {
  int32_t channelMask;  // bit n: channel n+1
  int32_t typeMask;     // kRecord* bits
  int32_t storage;      // kStorage*
  char startTime[kTimeTextBytes];
  char endTime[kTimeTextBytes];
};
static_assert(sizeof(RecordQuery) == 52);
static_assert(offsetof(RecordQuery, channelMask) == 0 && offsetof(RecordQuery, typeMask) == 4 &&
              offsetof(RecordQuery, storage) == 8 && offsetof(RecordQuery, startTime) == 12 &&
              offsetof(RecordQuery, endTime) == 32);

// One recording in the reply to CMD_REC_QUERY. The locators name the file on the DVR; they
// are echoed back byte for byte (RecordDescriptor), never interpreted.
struct RecordEntry {
  uint8_t locatorA;
  uint8_t locatorB;
  int16_t locatorC;
  int16_t channel;      // 1-based
  uint16_t recordType;  // kRecord*
  int32_t locatorD;
  int32_t size;  // bytes
  uint8_t unused[4];
  char startTime[kTimeTextBytes];  // as the DVR sends it, shown verbatim
  char endTime[kTimeTextBytes];
};
static_assert(sizeof(RecordEntry) == 60);
static_assert(offsetof(RecordEntry, locatorA) == 0 && offsetof(RecordEntry, locatorB) == 1 &&
              offsetof(RecordEntry, locatorC) == 2 && offsetof(RecordEntry, channel) == 4 &&
              offsetof(RecordEntry, recordType) == 6 && offsetof(RecordEntry, locatorD) == 8 &&
              offsetof(RecordEntry, size) == 12 && offsetof(RecordEntry, unused) == 16 &&
              offsetof(RecordEntry, startTime) == 20 && offsetof(RecordEntry, endTime) == 40);
inline constexpr int kRecordEntryBytes = sizeof(RecordEntry);
// The record reply's payload that means "no recording found": the int32 -1 alone.
inline constexpr int32_t kNoRecords = -1;

// A recording named back to the DVR: the payload of CMD_USB_EXPORT and the whole request of a
// download. Built from a RecordEntry when the user acts on it (DescribeRecord).
struct RecordDescriptor {
  int32_t channel;  // the entry's, sign-extended
  int32_t storage;  // the search's storage selection at the time of the action
  uint8_t locatorA;
  uint8_t locatorB;
  int16_t locatorC;
  int32_t locatorD;
  int32_t size;
};
static_assert(sizeof(RecordDescriptor) == 20);
static_assert(offsetof(RecordDescriptor, channel) == 0 &&
              offsetof(RecordDescriptor, storage) == 4 &&
              offsetof(RecordDescriptor, locatorA) == 8 &&
              offsetof(RecordDescriptor, locatorB) == 9 &&
              offsetof(RecordDescriptor, locatorC) == 10 &&
              offsetof(RecordDescriptor, locatorD) == 12 && offsetof(RecordDescriptor, size) == 16);

// Reply payload of CMD_USB_EXPORT.
struct ExportProgress {
  int32_t unused;
  int32_t status;   // kExport* below, any other value: in progress
  int32_t percent;  // 0 to 100 while in progress
};
static_assert(sizeof(ExportProgress) == 12);
static_assert(offsetof(ExportProgress, status) == 4 && offsetof(ExportProgress, percent) == 8);
inline constexpr int kExportFailed = 1;
inline constexpr int kExportNoUsb = 2;
inline constexpr int kExportNoSpace = 3;
inline constexpr int kExportFailedToo = 4;

// PtzAction::action codes.
enum PtzActionCode : uint8_t {
  kPtzStop = 0,
  kPtzUp = 1,
  kPtzDown = 2,
  kPtzLeft = 3,
  kPtzRight = 4,
  kPtzLeftUp = 5,
  kPtzRightUp = 6,
  kPtzLeftDown = 7,
  kPtzRightDown = 8,
  kPtzFocusNear = 9,   // focus +
  kPtzFocusFar = 10,   // focus -
  kPtzZoomIn = 11,     // zoom +
  kPtzZoomOut = 12,    // zoom -
  kPtzIrisOpen = 13,   // iris +
  kPtzIrisClose = 14,  // iris -
  kPtzSetPreset = 17,
  kPtzDeletePreset = 18,
  kPtzCallPreset = 19,
};

// Payload of CMD_PTZ_ACTION.
struct PtzAction {
  uint8_t action;   // PtzActionCode
  uint8_t zero;     // 0
  uint8_t channel;  // 1-based
  uint8_t preset;   // 1 to 255
};
static_assert(sizeof(PtzAction) == 4);
static_assert(offsetof(PtzAction, action) == 0 && offsetof(PtzAction, zero) == 1 &&
              offsetof(PtzAction, channel) == 2 && offsetof(PtzAction, preset) == 3);

// Payload of CMD_PTZ_CONFIG in both directions. A get request carries operation and channel
// only (the rest 0); a reply to a get carries that channel's settings, a reply to a set
// confirms it.
struct PtzConfig {
  uint8_t operation;  // kPtzConfigGet or kPtzConfigSet
  uint8_t channel;    // 1-based
  uint8_t protocol;   // 0 "PELCO-D", 1 "PELCO-P"
  uint8_t address;    // 1 to 127
  uint8_t speed;      // 1 to 63
  uint8_t baud;       // 1 to 7: 2400, 4800, 9600, 19200, 38400, 57600, 115200
};
static_assert(sizeof(PtzConfig) == 6);
static_assert(offsetof(PtzConfig, operation) == 0 && offsetof(PtzConfig, channel) == 1 &&
              offsetof(PtzConfig, protocol) == 2 && offsetof(PtzConfig, address) == 3 &&
              offsetof(PtzConfig, speed) == 4 && offsetof(PtzConfig, baud) == 5);
inline constexpr uint8_t kPtzConfigGet = 0;
inline constexpr uint8_t kPtzConfigSet = 1;

// CMD_IMAGE_ADJUST: a get request.
struct ImageQuery {
  uint8_t operation;  // kImageGet
  uint8_t channel;    // 0-based
  uint8_t reserved[2];
};
static_assert(sizeof(ImageQuery) == 4);
static_assert(offsetof(ImageQuery, operation) == 0 && offsetof(ImageQuery, channel) == 1 &&
              offsetof(ImageQuery, reserved) == 2);

// CMD_IMAGE_ADJUST: a set request, and the reply to a get (whose bytes 4 to 7 alone are read).
struct ImageSettings {
  uint8_t operation;  // kImageSet in a request
  uint8_t channel;    // 0-based
  uint8_t reserved[2];
  uint8_t colour;
  uint8_t contrast;
  int8_t luminance;  // -128 to 127
  uint8_t saturation;
};
static_assert(sizeof(ImageSettings) == 8);
static_assert(offsetof(ImageSettings, operation) == 0 && offsetof(ImageSettings, channel) == 1 &&
              offsetof(ImageSettings, colour) == 4 && offsetof(ImageSettings, contrast) == 5 &&
              offsetof(ImageSettings, luminance) == 6 && offsetof(ImageSettings, saturation) == 7);
inline constexpr uint8_t kImageGet = 0;
inline constexpr uint8_t kImageSet = 1;

// CMD_STATUS request payload: who asked for the refresh.
inline constexpr uint8_t kStatusRefreshUser = 1;
inline constexpr uint8_t kStatusRefreshPeriodic = 2;
// CMD_STATUS reply payload: one information panel record, as the video library keeps it.
inline constexpr int kStatusRecordBytes = sizeof(SW_SHOW_ST);
static_assert(kStatusRecordBytes == 868);

// CMD_RELAY: request payload is the int32 mask, reply payload the int32 result.
inline constexpr int32_t kRelayOutput1 = 1;
inline constexpr int32_t kRelayOutput2 = 2;
inline constexpr int32_t kRelayDone = 0;

// The DVR's first answer on a download connection. With the magic and code 0 the file's
// bytes follow, exactly RecordDescriptor::size of them.
struct DownloadReply {
  int32_t magic;  // kDownloadMagic
  int32_t code;   // kDownload* below, 0 = the file follows
};
static_assert(sizeof(DownloadReply) == 8);
static_assert(offsetof(DownloadReply, magic) == 0 && offsetof(DownloadReply, code) == 4);
inline constexpr int32_t kDownloadMagic = static_cast<int32_t>(0xFFFFEEEE);  // -4370
inline constexpr int32_t kDownloadFollows = 0;
inline constexpr int32_t kDownloadNoFile = 2;
inline constexpr int32_t kDownloadOpenFailed = 3;
inline constexpr int32_t kDownloadReadFailed = 4;
// Fewer bytes than this on the download connection count as no reply.
inline constexpr int kDownloadReplyMinBytes = 3;
inline constexpr int kDownloadBlockBytes = 0xC000;  // file data are read in blocks of this

// Datagram sizes of the requests.
inline constexpr int kRecordQueryDatagram = kHeaderBytes + sizeof(RecordQuery);      // 72
inline constexpr int kPtzActionDatagram = kHeaderBytes + sizeof(PtzAction);          // 24
inline constexpr int kPtzConfigDatagram = kHeaderBytes + sizeof(PtzConfig);          // 26
inline constexpr int kUsbExportDatagram = kHeaderBytes + sizeof(RecordDescriptor);   // 40
inline constexpr int kStatusDatagram = kHeaderBytes + 1;                             // 21
inline constexpr int kImageQueryDatagram = kHeaderBytes + sizeof(ImageQuery);        // 24
inline constexpr int kImageSettingsDatagram = kHeaderBytes + sizeof(ImageSettings);  // 28
inline constexpr int kRelayDatagram = kHeaderBytes + sizeof(int32_t);                // 24
static_assert(kRecordQueryDatagram == 72 && kPtzActionDatagram == 24 && kPtzConfigDatagram == 26 &&
              kUsbExportDatagram == 40 && kStatusDatagram == 21 && kImageQueryDatagram == 24 &&
              kImageSettingsDatagram == 28 && kRelayDatagram == 24);

// The panel's receive buffer: one datagram per receive. The largest record reply that fits
// holds (30740 - 20) / 60 = 512 entries.
inline constexpr int kReceiveBufferBytes = 30740;
inline constexpr int kMaxRecordEntries = (kReceiveBufferBytes - kHeaderBytes) / kRecordEntryBytes;
static_assert(kMaxRecordEntries == 512);
