#pragma once
// Reading and parsing RTSP reply headers. No I/O here: the session feeds received bytes one
// at a time into a ReplyHeader and parses the finished text with the functions below.

#include <optional>
#include <string>
#include <vector>

// Collects a reply header byte by byte into a buffer of a fixed size. The header ends at
// CR LF CR LF; a header that fills the buffer stops there. The text always stays
// NUL-terminated inside the buffer, so at most size - 1 bytes are kept.
class ReplyHeader {
 public:
  enum class Step { kMore, kComplete, kFull };
  explicit ReplyHeader(int size);
  Step Push(char byte);
  // The text from its first "R" (bytes before it are not part of the reply), and its length.
  const char* Text() const;
  int Count() const;

 private:
  std::vector<char> buffer_;
  int used_ = 0;
};

// The status code of the first line ("%*s%u"), or none.
std::optional<unsigned> ParseStatusCode(const char* text);
// "Content-Length: %d" or "Content-length: %d" on a header line.
std::optional<int> FindContentLength(const char* text);
// The token of a "Session: %s" header line, up to the first white space.
std::optional<std::string> FindSessionToken(const char* text);
// The first "server_port=a-b"; false leaves the ports unchanged.
bool FindServerPorts(const char* text, int* rtpPort, int* rtcpPort);
