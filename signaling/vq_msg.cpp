#include "signaling/vq_msg.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "signaling/msg_object.h"

namespace sigbus {

int atoi_text(const std::string& text) {
  return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
}

}  // namespace sigbus

namespace {

using TextMap = std::map<std::string, std::string>;

const char* get_string(const TextMap& map, const char* key) {
  auto it = map.find(key);
  return it == map.end() ? "" : it->second.c_str();
}

int get_int(const TextMap& map, const char* key) {
  auto it = map.find(key);
  return it == map.end() ? 0 : sigbus::atoi_text(it->second);
}

std::string int_text(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return text;
}

// Appends the lines of one map; false when a line does not fit the remaining space.
bool write_lines(const TextMap& map, char* buf, long long len, long long& written) {
  for (const auto& [key, value] : map) {
    long long need = static_cast<long long>(key.size() + value.size()) + 2;
    if (need >= len - 1 - written) return false;
    char* out = buf + written;
    std::memcpy(out, key.data(), key.size());
    out[key.size()] = ':';
    std::memcpy(out + key.size() + 1, value.data(), value.size());
    out[need - 1] = '\n';
    written += need;
    buf[written] = '\0';
  }
  return true;
}

long long text_length(const TextMap& map) {
  long long total = 0;
  for (const auto& [key, value] : map)
    total += static_cast<long long>(key.size() + value.size()) + 2;
  return total;
}

}  // namespace

vq_msg* vq_msg_create(const char* dir, const char* type) {
  auto* msg = new vq_msg;
  msg->frame[sigbus::kKeyDir] = dir;
  msg->frame[sigbus::kKeyType] = type;
  return msg;
}

void vq_msg_release(vq_msg* msg) { delete msg; }

const char* vq_msg_get_header_string(vq_msg* msg, const char* key) {
  return get_string(msg->header, key);
}

int vq_msg_get_header_int(vq_msg* msg, const char* key) { return get_int(msg->header, key); }

void vq_msg_set_header_string(vq_msg* msg, const char* key, const char* value) {
  msg->header[key] = value;
}

void vq_msg_set_header_int(vq_msg* msg, const char* key, int value) {
  msg->header[key] = int_text(value);
}

bool vq_msg_header_exist(vq_msg* msg, const char* key) { return msg->header.count(key) != 0; }

const char* vq_msg_get_frame_string(vq_msg* msg, const char* key) {
  return get_string(msg->frame, key);
}

int vq_msg_get_frame_int(vq_msg* msg, const char* key) { return get_int(msg->frame, key); }

void vq_msg_set_frame_string(vq_msg* msg, const char* key, const char* value) {
  msg->frame[key] = value;
}

void vq_msg_set_frame_int(vq_msg* msg, const char* key, int value) {
  msg->frame[key] = int_text(value);
}

bool vq_msg_frame_exist(vq_msg* msg, const char* key) { return msg->frame.count(key) != 0; }

const char* vq_msg_get_frame_type(vq_msg* msg) { return get_string(msg->frame, sigbus::kKeyType); }

void vq_msg_set_frame_type(vq_msg* msg, const char* type) { msg->frame[sigbus::kKeyType] = type; }

const char* vq_msg_get_frame_dir(vq_msg* msg) { return get_string(msg->frame, sigbus::kKeyDir); }

void vq_msg_set_frame_dir(vq_msg* msg, const char* dir) { msg->frame[sigbus::kKeyDir] = dir; }

unsigned short vq_msg_get_frame_proto_no(vq_msg* msg) {
  return static_cast<unsigned short>(get_int(msg->frame, sigbus::kKeyProtoNo));
}

void vq_msg_set_frame_proto_no(vq_msg* msg, unsigned short no) {
  msg->frame[sigbus::kKeyProtoNo] = int_text(no);
}

std::map<std::string, std::string> vq_msg_get_frame(vq_msg* msg) { return msg->frame; }

void vq_msg_set_frame(vq_msg* msg, const std::map<std::string, std::string>& frame) {
  msg->frame = frame;
}

int vq_msg_stringify(vq_msg* msg, char* buf, unsigned int len) {
  if (buf == nullptr) return static_cast<int>(text_length(msg->header) + text_length(msg->frame));
  if (msg->header.empty() && msg->frame.empty()) return 0;
  long long written = 0;
  if (!write_lines(msg->header, buf, len, written)) return -1;
  if (!write_lines(msg->frame, buf, len, written)) return -1;
  return static_cast<int>(written);
}
