#include "signaling/frame_codec.h"

#include <cstdio>
#include <cstring>

#include "signaling/attribute_scan.h"
#include "signaling/log.h"
#include "signaling/proto_table.h"

namespace sigbus {
namespace {

constexpr std::size_t kHeaderPartCapacity = 128;  // 127 characters and a NUL

const std::string& frame_value(const vq_msg& msg, const char* key) {
  static const std::string empty;
  auto it = msg.frame.find(key);
  return it == msg.frame.end() ? empty : it->second;
}

bool is_reserved(std::string_view key) {
  return key == std::string_view(kKeyDir) || key == std::string_view(kKeyType) ||
         key == std::string_view(kKeyProtoNo);
}

// Appends text to a bounded output, keeping room for a NUL. Once text no longer fits it
// is refused (overflow), or with cut set, cut at the capacity.
class Writer {
 public:
  Writer(char* out, std::size_t capacity, bool cut = false)
      : out_(out), capacity_(capacity), cut_(cut) {}
  bool add(const char* text, std::size_t size) {
    if (size >= capacity_ - used_) {
      overflow_ = true;
      if (!cut_) return false;
      size = capacity_ - 1 - used_;
    }
    std::memcpy(out_ + used_, text, size);
    used_ += size;
    return true;
  }
  bool add(const std::string& text) { return add(text.data(), text.size()); }
  template <std::size_t N>
  bool add(const char (&literal)[N]) {
    return add(literal, N - 1);
  }
  std::size_t used() const { return used_; }
  bool overflow() const { return overflow_; }

 private:
  char* out_;
  std::size_t capacity_;
  std::size_t used_ = 0;
  bool cut_;
  bool overflow_ = false;
};

bool body_fits(const vq_msg& msg) {
  std::size_t body = 0;
  for (const auto& [key, value] : msg.frame) {
    if (is_reserved(key)) continue;
    std::size_t need = key.size() + body + value.size() + 5;
    if (need >= kDocumentCapacity) {
      log_line("frame", 4, "send frame %s too long %d ", frame_value(msg, kKeyType).c_str(),
               static_cast<int>(need));
      return false;
    }
    body += key.size() + value.size() + 4;
  }
  return true;
}

// The header part, "MessageType=\"%s\" MessageDir=\"%s\"", cut to 127 characters.
void write_header_part(const vq_msg& msg, Writer& out) {
  char part[kHeaderPartCapacity];
  Writer header(part, sizeof part, true);
  header.add("MessageType=\"");
  header.add(frame_value(msg, kKeyType));
  header.add("\" MessageDir=\"");
  header.add(frame_value(msg, kKeyDir));
  header.add("\"");
  out.add(part, header.used());
}

// Writes the document into out; its length, or -1 when it does not fit.
int write_document_into(const vq_msg& msg, char* out_buffer) {
  if (!body_fits(msg)) return -1;
  Writer out(out_buffer, kDocumentCapacity);
  out.add("<?xml version=\"1.0\" encoding=\"utf-8\"?><Message><IE_HEADER ");
  write_header_part(msg, out);
  out.add(" /><IE_BODY ");
  for (const auto& [key, value] : msg.frame) {
    if (is_reserved(key)) continue;
    out.add(" ") && out.add(key) && out.add("=\"") && out.add(value) && out.add("\"");
  }
  out.add(" /></Message>");
  if (out.overflow()) return -1;
  return static_cast<int>(out.used());
}

void put16(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value >> 8);
  at[1] = static_cast<std::uint8_t>(value);
}

void put32(std::uint8_t* at, std::uint32_t value) {
  put16(at, value >> 16);
  put16(at + 2, value & 0xFFFF);
}

std::uint16_t checksum(const std::uint8_t* frame, std::size_t length) {
  std::uint32_t sum = 0;
  for (std::size_t i = kOffsetSequence; i < length; ++i) sum += frame[i];
  return static_cast<std::uint16_t>(sum);
}

std::uint16_t stored_checksum(const std::uint8_t* frame) {
  return static_cast<std::uint16_t>((frame[0] << 8) | frame[1]);
}

// Unstuffs the bytes between two flags; false when the result exceeds kFrameCapacity.
bool unstuff(const std::uint8_t* in, std::size_t size, wire_frame& frame) {
  std::size_t out = 0;
  std::size_t i = 0;
  while (i < size) {
    const void* found = std::memchr(in + i, kEscape, size - i);
    std::size_t plain = found ? static_cast<const std::uint8_t*>(found) - (in + i) : size - i;
    if (plain > kFrameCapacity - out) return false;
    std::memcpy(frame.frame + out, in + i, plain);
    out += plain;
    i += plain + 1;  // past the escape byte
    if (found == nullptr || i >= size) break;
    std::uint8_t byte = in[i++];
    if (out == kFrameCapacity) return false;
    frame.frame[out++] = byte == kEscapedEscape ? kEscape : byte == kEscapedFlag ? kFlag : byte;
  }
  frame.frame[out] = 0;  // the document is read as NUL-terminated text
  frame.frame_length = static_cast<int>(out);
  return true;
}

}  // namespace

bool write_document(const vq_msg& msg, std::string& out) {
  char buffer[kDocumentCapacity];
  int length = write_document_into(msg, buffer);
  if (length < 0) return false;
  out.assign(buffer, static_cast<std::size_t>(length));
  return true;
}

std::uint16_t frame_proto_no(const vq_msg& msg) {
  auto it = msg.frame.find(kKeyProtoNo);
  if (it != msg.frame.end()) {
    auto no = static_cast<std::uint16_t>(atoi_text(it->second));
    if (no != 0) return no;
  }
  return lookup_proto_no(frame_value(msg, kKeyDir), frame_value(msg, kKeyType));
}

bool build_frame(const vq_msg& msg, std::uint32_t sequence, wire_frame& frame) {
  frame.valid = false;
  char* document = reinterpret_cast<char*>(frame.frame + kFrameHeaderSize);
  int length = write_document_into(msg, document);
  if (length < 0) return false;
  std::memset(frame.frame, 0, kFrameHeaderSize);
  document[length] = '\0';
  put16(frame.frame + kOffsetLength, static_cast<std::uint32_t>(length));
  put32(frame.frame + kOffsetSequence, sequence);
  put16(frame.frame + kOffsetProtoNo, frame_proto_no(msg));
  frame.frame_length = static_cast<int>(kFrameHeaderSize) + length;
  frame.valid = true;
  return true;
}

bool stuff_frame(wire_frame& frame) {
  auto length = static_cast<std::size_t>(frame.frame_length);
  put16(frame.frame + kOffsetChecksum, checksum(frame.frame, length));
  // Every byte may double; only frames that could outgrow the buffer need checking.
  bool may_overflow = 2 * length + 2 > kFrameCapacity;
  std::uint8_t* out = frame.stuffed;
  std::uint8_t* last = frame.stuffed + kFrameCapacity - 1;  // room for the closing flag
  *out++ = kFlag;
  for (std::size_t i = 0; i < length; ++i) {
    std::uint8_t byte = frame.frame[i];
    bool escaped = byte == kFlag || byte == kEscape;
    if (may_overflow && out + (escaped ? 2 : 1) > last) {
      log_line("frame", 4, "send frame stuffed too long %d ", static_cast<int>(length));
      frame.stuffed_length = 0;
      return false;
    }
    if (escaped) {
      *out++ = kEscape;
      *out++ = byte == kFlag ? kEscapedFlag : kEscapedEscape;
    } else {
      *out++ = byte;
    }
  }
  *out++ = kFlag;
  frame.stuffed_length = static_cast<int>(out - frame.stuffed);
  return true;
}

std::size_t append_received(frame_assembler& assembler, const std::uint8_t* data,
                            std::size_t size) {
  std::size_t room = kReceiveCapacity - assembler.fill;
  std::size_t kept = size < room ? size : room;
  if (kept == 0) return 0;
  std::memcpy(assembler.buffer + assembler.fill, data, kept);
  assembler.fill += kept;
  return kept;
}

bool extract_frame(frame_assembler& assembler, wire_frame& frame) {
  frame.valid = false;
  if (assembler.fill == 0) return false;
  if (assembler.buffer[0] != kFlag) {
    assembler.fill = 0;
    return false;
  }
  const std::uint8_t* close = static_cast<const std::uint8_t*>(
      std::memchr(assembler.buffer + 1, kFlag, assembler.fill - 1));
  if (close == nullptr) return false;
  std::size_t taken = static_cast<std::size_t>(close - assembler.buffer) + 1;
  bool fits = unstuff(assembler.buffer + 1, taken - 2, frame);
  std::memmove(assembler.buffer, assembler.buffer + taken, assembler.fill - taken);
  assembler.fill -= taken;
  if (!fits || frame.frame_length < static_cast<int>(kFrameHeaderSize)) return false;
  auto length = static_cast<std::size_t>(frame.frame_length);
  frame.valid = checksum(frame.frame, length) == stored_checksum(frame.frame);
  return frame.valid;
}

std::unique_ptr<vq_msg> parse_frame(const wire_frame& frame) {
  auto msg = std::make_unique<vq_msg>();
  const char* text = reinterpret_cast<const char*>(frame.frame + kFrameHeaderSize);
  const char* begin;
  const char* end;
  auto& map = msg->frame;
  if (find_attribute_area(text, "IE_HEADER", begin, end)) {
    scan_attributes(begin, end, [&](std::string_view name, std::string_view value) {
      if (name == kKeyType || name == kKeyDir) map.insert_or_assign(std::string(name), value);
    });
  }
  if (find_attribute_area(text, "IE_BODY", begin, end)) {
    // Senders write the body in key order, so the end of the map is the usual place.
    scan_attributes(begin, end, [&](std::string_view name, std::string_view value) {
      map.insert_or_assign(map.end(), std::string(name), value);
    });
  }
  if (msg->frame.empty()) return nullptr;
  unsigned proto_no = (frame.frame[kOffsetProtoNo] << 8) | frame.frame[kOffsetProtoNo + 1];
  msg->frame[kKeyProtoNo] = std::to_string(proto_no);
  return msg;
}

}  // namespace sigbus
