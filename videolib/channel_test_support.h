#pragma once
// Shared by the channel tests and benchmark: clips, a reference decode, a producer thread and
// comparisons of pictures with what reached the desktop or a file.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/h264dec/test_clip.h"
#include "platform/kernel/handle.h"
#include "platform/ui/ui.h"
#include "videolib/channel.h"
#include "videolib/videownd_test_support.h"

namespace channel_test {

// A channel with its test-facing internals opened up.
class TestChannel : public CChannel {
 public:
  int RingUsed() { return m_frameFifo.Used(); }
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  bool HasDecodeThread() const { return m_hDecodeThread != nullptr; }
  bool DecodeThreadEnded() const {
    return m_hDecodeThread != nullptr && WaitForSingleObject(m_hDecodeThread, 0) == WAIT_OBJECT_0;
  }
};

// One decoded picture, planar 4:2:0, packed.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> i420;
};

// Every picture of the clip as the platform decoder gives it, one NAL unit per call.
std::vector<Picture> ReferenceDecode(const h264test::Clip& clip);

// 0x00RRGGBB of a 4:2:0 picture's pixel by the BT.601 studio-range formula.
uint32_t ExpectedRgb(const Picture& picture, int x, int y);

// Share of the pixels of `picture` within `tolerance` per channel of `actual(x, y)`.
double MatchShare(const Picture& picture, const std::function<uint32_t(int, int)>& actual,
                  int tolerance);

// Puts every NAL unit of frames [first, last) on a thread of its own.
std::thread Produce(CChannel* channel, const h264test::Clip& clip, int first = 0, int last = -1);

// Waits up to `ms` for `done`, dispatching the calling thread's messages meanwhile and
// looking again every `poll` (timings want a finer look than the tests' default).
bool WaitFor(const std::function<bool()>& done, int ms,
             std::chrono::microseconds poll = std::chrono::milliseconds(5));

// A fresh directory under the temporary directory.
std::string TempDir(const std::string& tag);

// Runs a command; its standard output.
std::string RunCommand(const std::string& command);

// A channel window placed so that the picture area the build draws into is exactly
// width x height: the client area (LocPlexa, GDI path) or the window rectangle (Plexa, blit).
void PlaceForPicture(CChannel* channel, HWND parent, int width, int height);
// The desktop position of the picture's top-left pixel.
POINT PictureOrigin(CChannel* channel);

// The headless desktop and the library's renderer for a whole test suite; a parent window and
// one channel of `width` x `height` (layout 0, title off) for each test.
class ChannelFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void OpenChannel(int width, int height);
  void TearDown() override;

  // The share of the picture's pixels that the desktop shows within a tolerance.
  double ScreenMatch(const Picture& picture);

  static videownd_test::Desktop* desktop_;
  std::unique_ptr<videownd_test::ParentWindow> parent_;
  std::unique_ptr<TestChannel> channel_;
};

}  // namespace channel_test
