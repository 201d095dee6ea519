#pragma once

#include <map>
#include <string>

// The definition behind the opaque vq_msg of the public header.
struct vq_msg {
  std::map<std::string, std::string> header;
  std::map<std::string, std::string> frame;
};

namespace sigbus {

inline constexpr const char kKeyType[] = "MessageType";
inline constexpr const char kKeyDir[] = "MessageDir";
inline constexpr const char kKeyProtoNo[] = "proto_no";

// The C atoi rule (leading blanks, optional sign, digits up to the first other character).
int atoi_text(const std::string& text);

}  // namespace sigbus
