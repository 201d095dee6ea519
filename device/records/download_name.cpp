#include "device/records/download_name.h"

namespace device::records {

std::string SafeFileName(const std::string& name) {
  std::string out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const auto u = static_cast<unsigned char>(c);
    const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
    if (u >= 0x81 && u <= 0xFE && next >= 0x40 && next <= 0xFE) {
      out += c;  // a GBK pair: its second byte is part of the character, never a separator
      out += name[++i];
      continue;
    }
    out += (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) ? '_' : c;
  }
  for (size_t at = out.find(".."); at != std::string::npos; at = out.find("..", at)) {
    out.replace(at, 2, "__");
  }
  if (out.empty()) out = "_";
  return out;
}

std::string DefaultDownloadName(const std::string& sipName, const std::string& start,
                                const std::string& end, const std::string& channel,
                                bool hasControl) {
  std::string name = hasControl ? sipName + "_" + start + "_" + end + "_ch" + channel + ".avi"
                                : start + "_" + end + "_ch" + channel + ".avi";
  std::string out;
  for (char c : name) {
    if (c == ':') continue;
    out += c == ' ' ? '_' : c;
  }
  return SafeFileName(out);
}

std::string PartPath(const std::string& path) { return path + ".part"; }

}  // namespace device::records
