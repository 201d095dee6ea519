#include "device/protocol/requests.h"

#include <cstring>

std::vector<uint8_t> BuildDatagram(int32_t command, const void* payload, size_t length) {
  CommandHeader header{command, kHeaderWord, kHeaderWord, kHeaderWord,
                       static_cast<int32_t>(length)};
  std::vector<uint8_t> datagram(kHeaderBytes + length);
  std::memcpy(datagram.data(), &header, kHeaderBytes);
  if (length > 0) std::memcpy(datagram.data() + kHeaderBytes, payload, length);
  return datagram;
}

std::vector<uint8_t> BuildRecordQuery(const RecordQuery& query) {
  return BuildDatagram(CMD_REC_QUERY, &query, sizeof query);
}

std::vector<uint8_t> BuildPtzAction(const PtzAction& action) {
  return BuildDatagram(CMD_PTZ_ACTION, &action, sizeof action);
}

std::vector<uint8_t> BuildPtzConfig(const PtzConfig& config) {
  return BuildDatagram(CMD_PTZ_CONFIG, &config, sizeof config);
}

std::vector<uint8_t> BuildUsbExport(const RecordDescriptor& record) {
  return BuildDatagram(CMD_USB_EXPORT, &record, sizeof record);
}

std::vector<uint8_t> BuildStatusRequest(uint8_t refresh) {
  return BuildDatagram(CMD_STATUS, &refresh, sizeof refresh);
}

std::vector<uint8_t> BuildImageQuery(const ImageQuery& query) {
  return BuildDatagram(CMD_IMAGE_ADJUST, &query, sizeof query);
}

std::vector<uint8_t> BuildImageSettings(const ImageSettings& settings) {
  return BuildDatagram(CMD_IMAGE_ADJUST, &settings, sizeof settings);
}

std::vector<uint8_t> BuildRelay(int32_t mask) {
  return BuildDatagram(CMD_RELAY, &mask, sizeof mask);
}

RecordDescriptor DescribeRecord(const RecordEntry& entry, int32_t storage) {
  RecordDescriptor d{};
  d.channel = entry.channel;
  d.storage = storage;
  d.locatorA = entry.locatorA;
  d.locatorB = entry.locatorB;
  d.locatorC = entry.locatorC;
  d.locatorD = entry.locatorD;
  d.size = entry.size;
  return d;
}

void SetTimeText(char (&field)[kTimeTextBytes], const char* text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text, strnlen(text, sizeof field - 1));
}
