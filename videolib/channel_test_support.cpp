#include "videolib/channel_test_support.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/h264dec/hi_h264dec_w.h"
#include "platform/kernel/clock.h"

namespace channel_test {

std::vector<Picture> ReferenceDecode(const h264test::Clip& clip) {
  std::vector<Picture> pictures;
  H264_DEC_ATTR_S attr{0, 0, 45, 36, 3, 0, nullptr, 0};
  HI_HDL decoder = Hi264DecCreate(&attr);
  if (decoder == nullptr) return pictures;
  auto take = [&](H264_DEC_FRAME_S& f) {
    Picture p;
    p.width = static_cast<int>(f.uWidth);
    p.height = static_cast<int>(f.uHeight);
    // Packed planes of the picture's width, row by row from the decoder's strides.
    const size_t w = f.uWidth, h = f.uHeight, cw = w / 2, ch = h / 2;
    p.i420.resize(w * h + 2 * cw * ch);
    uint8_t* out = p.i420.data();
    for (size_t r = 0; r < h; ++r) std::memcpy(out + r * w, f.pY + r * f.uYStride, w);
    out += w * h;
    for (size_t r = 0; r < ch; ++r) std::memcpy(out + r * cw, f.pU + r * f.uUVStride, cw);
    out += cw * ch;
    for (size_t r = 0; r < ch; ++r) std::memcpy(out + r * cw, f.pV + r * f.uUVStride, cw);
    pictures.push_back(std::move(p));
  };
  for (const auto& frame : clip.frames) {
    for (auto nal : frame) {
      H264_DEC_FRAME_S f{};
      HI_S32 r = Hi264DecFrame(decoder, nal.data(), static_cast<HI_U32>(nal.size()), 0, &f, 0);
      while (r == HI_H264DEC_OK) {
        take(f);
        r = Hi264DecFrame(decoder, nullptr, 0, 0, &f, 0);
      }
    }
  }
  Hi264DecDestroy(decoder);
  return pictures;
}

uint32_t ExpectedRgb(const Picture& p, int x, int y) {
  const size_t luma = static_cast<size_t>(p.width) * p.height;
  const int cw = p.width / 2;
  const size_t at = static_cast<size_t>(y / 2) * cw + x / 2;
  const double Y = 1.164 * (p.i420[static_cast<size_t>(y) * p.width + x] - 16);
  const double U = p.i420[luma + at] - 128;
  const double V = p.i420[luma + luma / 4 + at] - 128;
  auto clamp = [](double c) { return static_cast<uint32_t>(std::clamp(c + 0.5, 0.0, 255.0)); };
  return clamp(Y + 1.596 * V) << 16 | clamp(Y - 0.392 * U - 0.813 * V) << 8 | clamp(Y + 2.017 * U);
}

double MatchShare(const Picture& picture, const std::function<uint32_t(int, int)>& actual,
                  int tolerance) {
  int good = 0;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      uint32_t a = actual(x, y);
      uint32_t e = ExpectedRgb(picture, x, y);
      bool near = true;
      for (int shift = 0; shift < 24; shift += 8) {
        int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((e >> shift) & 0xFF);
        near = near && d <= tolerance && d >= -tolerance;
      }
      good += near ? 1 : 0;
    }
  }
  return static_cast<double>(good) / (picture.width * picture.height);
}

std::thread Produce(CChannel* channel, const h264test::Clip& clip, int first, int last) {
  if (last < 0) last = static_cast<int>(clip.frames.size());
  return std::thread([channel, &clip, first, last] {
    for (int i = first; i < last; ++i) {
      for (const auto& nal : clip.frames[static_cast<size_t>(i)]) {
        channel->PutOneFrame(nal.data(), static_cast<int>(nal.size()));
      }
    }
  });
}

bool WaitFor(const std::function<bool()>& done, int ms, std::chrono::microseconds poll) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    std::this_thread::sleep_for(poll);
  }
  return true;
}

std::string TempDir(const std::string& tag) {
  static std::atomic<int> serial{0};
  auto dir = std::filesystem::temp_directory_path() /
             ("channel_" + tag + "_" + std::to_string(std::random_device{}()) + "_" +
              std::to_string(serial++));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

std::string RunCommand(const std::string& command) {
  std::string path = TempDir("out") + "/stdout.txt";
  std::string out;
  if (std::system((command + " > " + path).c_str()) != 0) return out;
  std::ifstream in(path);
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  std::filesystem::remove_all(std::filesystem::path(path).parent_path());
  return out;
}

void PlaceForPicture(CChannel* channel, HWND parent, int width, int height) {
  RECT rect{10, 10, 10 + width, 10 + height};
  channel->CreateWnd(rect, parent, static_cast<UINT>(channel->ChannelId()));
  if (VIDEOLIB_GDI_TEXT) {
    RECT client;
    GetClientRect(channel->m_hWnd, &client);
    rect.right += width - client.right;
    rect.bottom += height - client.bottom;
    channel->MoveVideo(rect);
  }
}

POINT PictureOrigin(CChannel* channel) {
  if (VIDEOLIB_GDI_TEXT) {
    RECT r = videownd_test::ClientOnScreen(channel->m_hWnd);
    return POINT{r.left, r.top};
  }
  RECT r;
  GetWindowRect(channel->m_hWnd, &r);
  return POINT{r.left, r.top};
}

videownd_test::Desktop* ChannelFixture::desktop_ = nullptr;

void ChannelFixture::SetUpTestSuite() {
  if (desktop_ == nullptr) desktop_ = new videownd_test::Desktop(800, 600);
  ASSERT_NE(CChannel::InitRender(), nullptr);
}

void ChannelFixture::TearDownTestSuite() { CChannel::UninitRender(); }

void ChannelFixture::OpenChannel(int width, int height) {
  parent_ = std::make_unique<videownd_test::ParentWindow>(20, 20, 700, 560);
  channel_ = std::make_unique<TestChannel>();
  channel_->Init(nullptr, 3);
  PlaceForPicture(channel_.get(), parent_->hwnd(), width, height);
  channel_->Close();
  channel_->Open(width, height, 0, 0, 0);
}

void ChannelFixture::TearDown() {
  if (channel_) channel_->StopDecode(0);
  channel_.reset();
  parent_.reset();
}

double ChannelFixture::ScreenMatch(const Picture& picture) {
  POINT origin = PictureOrigin(channel_.get());
  return MatchShare(
      picture, [&](int x, int y) { return desktop_->Pixel(origin.x + x, origin.y + y); }, 24);
}

}  // namespace channel_test
