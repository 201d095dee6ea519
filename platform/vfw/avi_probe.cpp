#include "platform/vfw/avi_probe.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace avi_probe {

std::string Run(const std::string& command, int* status) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int rc = pclose(p);
  if (status != nullptr) *status = rc;
  return out;
}

std::vector<Stream> Probe(const std::string& path) {
  const std::string out =
      Run("ffprobe -v error -count_packets -show_entries "
          "stream=codec_type,codec_tag_string,width,height,nb_read_packets,sample_rate "
          "-of compact=p=0:nk=0 '" +
          path + "' 2>/dev/null");
  std::vector<Stream> streams;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    Stream s;
    std::istringstream fields(line);
    std::string kv;
    while (std::getline(fields, kv, '|')) {
      const auto eq = kv.find('=');
      if (eq == std::string::npos) continue;
      const std::string k = kv.substr(0, eq), v = kv.substr(eq + 1);
      const long num = std::atol(v.c_str());
      if (k == "codec_type") s.codec_type = v;
      if (k == "codec_tag_string") s.codec_tag = v;
      if (k == "width") s.width = static_cast<int>(num);
      if (k == "height") s.height = static_cast<int>(num);
      if (k == "nb_read_packets") s.packets = num;
      if (k == "sample_rate") s.sample_rate = static_cast<int>(num);
    }
    streams.push_back(s);
  }
  return streams;
}

std::vector<uint8_t> FirstFrameYuy2(const std::string& path) {
  const std::string out = Run("ffmpeg -v error -i '" + path +
                              "' -frames:v 1 -f rawvideo -pix_fmt yuyv422 - 2>/dev/null");
  return {out.begin(), out.end()};
}

std::string TempDir() {
  char tmpl[] = "/tmp/orvix_avi_XXXXXX";
  const char* dir = mkdtemp(tmpl);
  return dir != nullptr ? dir : "/tmp";
}

}  // namespace avi_probe
