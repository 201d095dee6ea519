#include "tools/dvrsim/source_file.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <stdexcept>

#include "platform/process/child_process.h"

namespace dvrsim {
namespace {

namespace fs = std::filesystem;

constexpr int kCodingTimeoutMs = 300000;

fs::path CacheDirectory(const std::string& asked) {
  if (!asked.empty()) return fs::path(asked);
  const char* dir = std::getenv("DVRSIM_CACHE");
  if (dir != nullptr && *dir != '\0') return fs::path(dir);
  return fs::temp_directory_path() / "dvrsim-cache";
}

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
}

void Code(const fs::path& source, const fs::path& target, int width, int height, int maxFrames) {
  const int kbit =
      static_cast<int>(static_cast<long long>(kSceneKbitPerD1) * width * height / (720 * 576));
  const std::string x264 =
      "keyint=25:min-keyint=25:scenecut=0:repeat-headers=1:bframes=0:vbv-maxrate=" +
      std::to_string(kbit) + ":vbv-bufsize=" + std::to_string(kbit / 2);
  const std::vector<std::string> args = {
      "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
      // "file:" keeps a name that looks like a protocol or an option a file name.
      "-i", "file:" + source.string(), "-map", "0:v:0", "-an", "-sn", "-dn", "-vf",
      "fps=25,scale=" + std::to_string(width) + ":" + std::to_string(height) + ",format=yuv420p",
      "-frames:v", std::to_string(maxFrames), "-c:v", "libx264", "-preset", "ultrafast", "-tune",
      "zerolatency", "-threads", "1", "-crf", "23", "-x264-params", x264, "-f", "h264",
      "file:" + target.string()};
  std::string error;
  auto ffmpeg = platform::process::ChildProcess::Spawn("ffmpeg", args, &error);
  if (ffmpeg == nullptr) throw std::runtime_error("cannot run ffmpeg to code the source: " + error);
  int status = ffmpeg->Wait(kCodingTimeoutMs);
  if (status < 0) {
    ffmpeg->Terminate();
    throw std::runtime_error("ffmpeg did not finish coding " + source.string() + " within " +
                             std::to_string(kCodingTimeoutMs / 1000) + " s");
  }
  if (status != 0) {
    throw std::runtime_error("ffmpeg could not code " + source.string() + " (exit status " +
                             std::to_string(status) + ")");
  }
}

}  // namespace

std::vector<CodedFrame> LoadSourceFrames(const std::string& file, int width, int height,
                                         int maxFrames, std::ostream& log,
                                         const std::string& cacheDir) {
  std::error_code ec;
  const fs::path source = fs::absolute(file, ec);
  if (ec || !fs::is_regular_file(source, ec)) {
    throw std::runtime_error("--source: no such file \"" + file + "\"");
  }
  const auto bytes = fs::file_size(source, ec);
  const auto changed = fs::last_write_time(source, ec).time_since_epoch().count();
  const std::string key = source.string() + "|" + std::to_string(bytes) + "|" +
                          std::to_string(changed) + "|" + std::to_string(width) + "x" +
                          std::to_string(height) + "|" + std::to_string(maxFrames);
  char name[64];
  std::snprintf(name, sizeof name, "%016zx-%dx%d-%d.h264", std::hash<std::string>{}(key), width,
                height, maxFrames);
  const fs::path dir = CacheDirectory(cacheDir);
  const fs::path cached = dir / name;
  if (!fs::is_regular_file(cached, ec)) {
    fs::create_directories(dir, ec);
    if (ec) throw std::runtime_error("cannot make the cache directory " + dir.string());
    log << "dvrsim: coding " << source.string() << " into " << cached.string() << "..."
        << std::endl;
    // Coded under a name of its own and then renamed, so that a simulator starting at the same
    // time never reads half a file.
    std::random_device random;
    const fs::path part = dir / (std::string(name) + ".part" + std::to_string(random()));
    try {
      Code(source, part, width, height, maxFrames);
    } catch (...) {
      fs::remove(part, ec);
      throw;
    }
    fs::rename(part, cached, ec);
    if (ec) {
      fs::remove(part, ec);
      throw std::runtime_error("cannot store " + cached.string());
    }
  }
  const std::vector<uint8_t> stream = ReadAll(cached);
  auto frames = SplitPictures(stream.data(), stream.size());
  if (frames.empty() || !frames[0].key) {
    fs::remove(cached, ec);
    throw std::runtime_error("the coded video of " + source.string() + " starts with no key frame");
  }
  return frames;
}

std::map<int, std::vector<CodedFrame>> LoadChannelSources(const std::map<int, std::string>& sources,
                                                          int channels, int width, int height,
                                                          int maxFrames, std::ostream& log,
                                                          const std::string& cacheDir) {
  std::map<std::string, std::vector<CodedFrame>> coded;
  std::map<int, std::vector<CodedFrame>> out;
  for (int ch = 1; ch <= channels; ++ch) {
    auto named = sources.find(ch);
    if (named == sources.end()) named = sources.find(0);
    if (named == sources.end()) continue;
    auto done = coded.find(named->second);
    if (done == coded.end()) {
      done = coded
                 .emplace(named->second,
                          LoadSourceFrames(named->second, width, height, maxFrames, log, cacheDir))
                 .first;
    }
    out[ch] = done->second;
  }
  return out;
}

}  // namespace dvrsim
