#pragma once
// Builders of the request datagrams: header (command, the three 1 words, length) and payload,
// 20 + length bytes. Pure: bytes out, no socket.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "device/protocol/messages.h"

// The datagram of `command` with `length` payload bytes from `payload`.
std::vector<uint8_t> BuildDatagram(int32_t command, const void* payload, size_t length);

std::vector<uint8_t> BuildRecordQuery(const RecordQuery& query);         // 72 bytes
std::vector<uint8_t> BuildPtzAction(const PtzAction& action);            // 24 bytes
std::vector<uint8_t> BuildPtzConfig(const PtzConfig& config);            // 26 bytes
std::vector<uint8_t> BuildUsbExport(const RecordDescriptor& record);     // 40 bytes
std::vector<uint8_t> BuildStatusRequest(uint8_t refresh);                // 21 bytes
std::vector<uint8_t> BuildImageQuery(const ImageQuery& query);           // 24 bytes
std::vector<uint8_t> BuildImageSettings(const ImageSettings& settings);  // 28 bytes
std::vector<uint8_t> BuildRelay(int32_t mask);                           // 24 bytes

// The descriptor naming `entry` back to the DVR, with the storage selected at the time.
RecordDescriptor DescribeRecord(const RecordEntry& entry, int32_t storage);

// Copies `text` into a time field, NUL-padded; a longer text is cut to 19 characters.
void SetTimeText(char (&field)[kTimeTextBytes], const char* text);
