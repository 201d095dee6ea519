#pragma once
// The simulator's recorder on the command line: how many recordings it keeps, how long each
// file plays, where the files are cached, its download port and the faults of its downloads
// and USB exports.

#include <string>

namespace dvrsim {

// What a download connection does instead of serving the file.
enum class DownloadFault {
  kNone,
  kStall,  // answers, sends half the file, then nothing until the client gives up
  kShort,  // answers, sends half the file and closes
  kMagic,  // answers with a wrong magic word (code 0)
  kCode2,  // "file not existed"
  kCode3,  // "open the device file failed"
  kCode4,  // "read the device file failed"
  kStale,  // the query's entries carry locators that name no file (downloads get code 2)
};

inline constexpr int kDefaultDownloadPort = 2800;

struct RecorderOptions {
  int recordsPerDay = 6;  // per channel, today and yesterday each
  int recordSeconds = 2;  // what each recording file plays
  std::string cacheDir;   // empty: $XDG_CACHE_HOME/dvrsim or ~/.cache/dvrsim, else /tmp
  int downloadPort = -1;  // -1: 2800, a bind failure only warned about
  DownloadFault downloadFault = DownloadFault::kNone;
  int exportFail = 0;      // 0: exports complete; 1 to 4: they end with that status
  int exportStepMs = 100;  // between two progress replies (10 % each)
};

bool IsRecorderOption(const std::string& name);
// Throws std::invalid_argument with a message fit for the user.
void SetRecorderOption(RecorderOptions& options, const std::string& name, const std::string& value);
// The cache folder the options name, with the default filled in.
std::string CacheDirectory(const RecorderOptions& options);
const char* RecorderUsageText();

}  // namespace dvrsim
