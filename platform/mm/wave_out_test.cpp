#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "platform/kernel/kernel.h"
#include "platform/mm/mmsystem.h"
#include "platform/vfw/avi_probe.h"

namespace {

using Clock = std::chrono::steady_clock;

const WAVEFORMATEX kFormat{WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 18};

// The player thread marks a header done while the test polls it.
bool Done(WAVEHDR& h) {
  return std::atomic_ref<DWORD>(h.dwFlags).load(std::memory_order_acquire) & WHDR_DONE;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Waits up to `ms` for a thread message on this thread's queue.
bool NextMessage(MSG* m, int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    if (PeekMessageA(m, nullptr, 0, 0, PM_REMOVE)) return true;
    Sleep(2);
  }
  return false;
}

struct Block {
  explicit Block(size_t n, uint8_t seed) : bytes(n) {
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 3);
    header.lpData = reinterpret_cast<LPSTR>(bytes.data());
    header.dwBufferLength = static_cast<DWORD>(n);
  }
  std::vector<uint8_t> bytes;
  WAVEHDR header{};
};

class WaveSink : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = avi_probe::TempDir();
    wav_ = dir_ + "/out.wav";
    setenv("ORVIX_WAVE_SINK", wav_.c_str(), 1);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  void TearDown() override {
    unsetenv("ORVIX_WAVE_SINK");
    avi_probe::Run("rm -rf '" + dir_ + "'");
  }
  HWAVEOUT Open() {
    HWAVEOUT d = nullptr;
    EXPECT_EQ(waveOutOpen(&d, WAVE_MAPPER, &kFormat, GetCurrentThreadId(), 0, CALLBACK_THREAD),
              MMSYSERR_NOERROR);
    MSG m;
    EXPECT_TRUE(NextMessage(&m, 1000));
    EXPECT_EQ(m.message, MM_WOM_OPEN);
    return d;
  }
  std::vector<uint8_t> PlayedData() {
    const auto file = ReadAll(wav_);
    if (file.size() < 44) return {};
    return {file.begin() + 44, file.end()};
  }
  std::string dir_, wav_;
};

TEST_F(WaveSink, FileHoldsWhatWasQueuedAndDoneArrivesInOrderInRealTime) {
  HWAVEOUT d = Open();
  Block blocks[3] = {Block(800, 1), Block(1201, 2), Block(399, 3)};  // 300 ms in all
  const auto start = Clock::now();
  for (Block& b : blocks) {
    ASSERT_EQ(waveOutPrepareHeader(d, &b.header, sizeof b.header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(d, &b.header, sizeof b.header), MMSYSERR_NOERROR);
    EXPECT_TRUE(b.header.dwFlags & WHDR_INQUEUE);
  }
  EXPECT_EQ(waveOutClose(d), WAVERR_STILLPLAYING);
  for (Block& b : blocks) {
    MSG m;
    ASSERT_TRUE(NextMessage(&m, 2000));
    EXPECT_EQ(m.message, MM_WOM_DONE);
    EXPECT_EQ(m.hwnd, nullptr);
    EXPECT_EQ(reinterpret_cast<HWAVEOUT>(m.wParam), d);
    EXPECT_EQ(reinterpret_cast<WAVEHDR*>(m.lParam), &b.header);
    EXPECT_EQ(b.header.dwFlags, WHDR_DONE | WHDR_PREPARED);
    EXPECT_EQ(waveOutUnprepareHeader(d, &b.header, sizeof b.header), MMSYSERR_NOERROR);
  }
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(280));
  MMTIME pos{};
  ASSERT_EQ(waveOutGetPosition(d, &pos, sizeof pos), MMSYSERR_NOERROR);
  EXPECT_EQ(pos.u.cb, 2400u);
  ASSERT_EQ(waveOutClose(d), MMSYSERR_NOERROR);
  MSG m;
  ASSERT_TRUE(NextMessage(&m, 1000));
  EXPECT_EQ(m.message, MM_WOM_CLOSE);

  std::vector<uint8_t> expected;
  for (const Block& b : blocks) expected.insert(expected.end(), b.bytes.begin(), b.bytes.end());
  EXPECT_EQ(PlayedData(), expected);
  const auto streams = avi_probe::Probe(wav_);
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].codec_type, "audio");
  EXPECT_EQ(streams[0].sample_rate, 8000);
}

TEST_F(WaveSink, ResetCutsThePlayingBlockAndReturnsEverything) {
  HWAVEOUT d = Open();
  Block first(8000, 7), second(800, 9);  // one second, then 100 ms more
  for (Block* b : {&first, &second}) {
    ASSERT_EQ(waveOutPrepareHeader(d, &b->header, sizeof b->header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(d, &b->header, sizeof b->header), MMSYSERR_NOERROR);
  }
  Sleep(200);
  const auto before = Clock::now();
  ASSERT_EQ(waveOutReset(d), MMSYSERR_NOERROR);
  EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(100));
  // Both came back done before the reset returned.
  EXPECT_EQ(first.header.dwFlags, WHDR_DONE | WHDR_PREPARED);
  EXPECT_EQ(second.header.dwFlags, WHDR_DONE | WHDR_PREPARED);
  MSG m;
  ASSERT_TRUE(NextMessage(&m, 100));
  EXPECT_EQ(reinterpret_cast<WAVEHDR*>(m.lParam), &first.header);
  ASSERT_TRUE(NextMessage(&m, 100));
  EXPECT_EQ(reinterpret_cast<WAVEHDR*>(m.lParam), &second.header);
  MMTIME pos{};
  ASSERT_EQ(waveOutGetPosition(d, &pos, sizeof pos), MMSYSERR_NOERROR);
  EXPECT_EQ(pos.u.cb, 0u);

  // The file holds the part of the first block that had been heard, nothing of the second.
  const auto played = PlayedData();
  EXPECT_GT(played.size(), 800u);
  EXPECT_LT(played.size(), 4000u);
  EXPECT_TRUE(std::equal(played.begin(), played.end(), first.bytes.begin()));

  // Playing goes on normally after a reset.
  Block third(160, 11);
  ASSERT_EQ(waveOutPrepareHeader(d, &third.header, sizeof third.header), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutWrite(d, &third.header, sizeof third.header), MMSYSERR_NOERROR);
  ASSERT_TRUE(NextMessage(&m, 1000));
  EXPECT_EQ(reinterpret_cast<WAVEHDR*>(m.lParam), &third.header);
  ASSERT_EQ(waveOutClose(d), MMSYSERR_NOERROR);
  const auto after = PlayedData();
  ASSERT_EQ(after.size(), played.size() + 160);
  EXPECT_TRUE(std::equal(third.bytes.begin(), third.bytes.end(), after.begin() + played.size()));
}

TEST_F(WaveSink, MisuseIsRefusedWithWaveOutCodes) {
  HWAVEOUT d = nullptr;
  EXPECT_EQ(waveOutOpen(&d, 1, &kFormat, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
  WAVEFORMATEX bad = kFormat;
  bad.nAvgBytesPerSec = 4000;
  EXPECT_EQ(waveOutOpen(&d, WAVE_MAPPER, &bad, 0, 0, CALLBACK_NULL), WAVERR_BADFORMAT);
  bad = kFormat;
  bad.wFormatTag = WAVE_FORMAT_IMA_ADPCM;
  EXPECT_EQ(waveOutOpen(&d, WAVE_MAPPER, &bad, 0, 0, CALLBACK_NULL), WAVERR_BADFORMAT);
  EXPECT_EQ(waveOutOpen(nullptr, WAVE_MAPPER, &kFormat, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutOpen(&d, WAVE_MAPPER, &kFormat, 0, 0, CALLBACK_WINDOW), MMSYSERR_INVALFLAG);
  EXPECT_EQ(waveOutClose(reinterpret_cast<HWAVEOUT>(&bad)), MMSYSERR_INVALHANDLE);

  HANDLE done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  ASSERT_EQ(waveOutOpen(&d, 0, &kFormat, reinterpret_cast<DWORD_PTR>(done), 0, CALLBACK_EVENT),
            MMSYSERR_NOERROR);
  Block b(80, 1);
  EXPECT_EQ(waveOutWrite(d, &b.header, sizeof b.header), WAVERR_UNPREPARED);
  EXPECT_EQ(waveOutPrepareHeader(d, &b.header, 8), MMSYSERR_INVALPARAM);
  ASSERT_EQ(waveOutPrepareHeader(d, &b.header, sizeof b.header), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutWrite(d, &b.header, sizeof b.header), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutWrite(d, &b.header, sizeof b.header), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveOutUnprepareHeader(d, &b.header, sizeof b.header), WAVERR_STILLPLAYING);
  WaitForSingleObject(done, 0);  // the open's signal
  EXPECT_EQ(WaitForSingleObject(done, 2000), WAIT_OBJECT_0);
  EXPECT_TRUE(b.header.dwFlags & WHDR_DONE);
  EXPECT_EQ(waveOutUnprepareHeader(d, &b.header, sizeof b.header), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(d), MMSYSERR_NOERROR);
  CloseHandle(done);
}

// Two devices at once (live audio beside the library's output) keep their sound apart.
TEST_F(WaveSink, SecondOpenDeviceWritesAFileOfItsOwn) {
  HWAVEOUT one = nullptr, two = nullptr;
  const WAVEFORMATEX wide{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};
  ASSERT_EQ(waveOutOpen(&one, WAVE_MAPPER, &kFormat, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutOpen(&two, WAVE_MAPPER, &wide, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  Block a(160, 1), b(320, 2);
  for (auto [d, blk] : {std::pair{one, &a}, std::pair{two, &b}}) {
    ASSERT_EQ(waveOutPrepareHeader(d, &blk->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(d, &blk->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  for (int i = 0; i < 200 && !(Done(a.header) && Done(b.header)); ++i) {
    Sleep(5);
  }
  EXPECT_EQ(waveOutClose(one), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(two), MMSYSERR_NOERROR);
  EXPECT_EQ(PlayedData(), a.bytes);
  const auto second = ReadAll(dir_ + "/out.1.wav");
  ASSERT_EQ(second.size(), 44u + 320);
  EXPECT_TRUE(std::equal(b.bytes.begin(), b.bytes.end(), second.begin() + 44));
  // Once closed, the first name is free again.
  ASSERT_EQ(waveOutOpen(&one, WAVE_MAPPER, &kFormat, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(one), MMSYSERR_NOERROR);
  EXPECT_TRUE(PlayedData().empty());
}

TEST_F(WaveSink, UnwritableSinkFailsTheOpen) {
  setenv("ORVIX_WAVE_SINK", "/nonexistent-dir/x.wav", 1);
  HWAVEOUT d = reinterpret_cast<HWAVEOUT>(1);
  EXPECT_EQ(waveOutOpen(&d, WAVE_MAPPER, &kFormat, 0, 0, CALLBACK_NULL), MMSYSERR_NODRIVER);
  EXPECT_EQ(d, nullptr);
}

// Without a sink the sound card is used; a machine without one fails the open as waveOut
// does there, and nothing is left behind.
TEST(WaveAlsa, MissingDeviceFailsCleanly) {
  unsetenv("ORVIX_WAVE_SINK");
  setenv("ORVIX_ALSA_DEVICE", "orvix_no_such_pcm", 1);
  HWAVEOUT d = reinterpret_cast<HWAVEOUT>(1);
  EXPECT_EQ(waveOutOpen(&d, WAVE_MAPPER, &kFormat, GetCurrentThreadId(), 0, CALLBACK_THREAD),
            MMSYSERR_NODRIVER);
  EXPECT_EQ(d, nullptr);
  EXPECT_EQ(waveOutGetNumDevs(), 0u);
  MSG m;
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));  // no MM_WOM_OPEN
  unsetenv("ORVIX_ALSA_DEVICE");
  // The default device: present or not, the open either works or fails with a wave code.
  const MMRESULT r = waveOutOpen(&d, WAVE_MAPPER, &kFormat, 0, 0, CALLBACK_NULL);
  if (r == MMSYSERR_NOERROR) {
    EXPECT_EQ(waveOutClose(d), MMSYSERR_NOERROR);
  } else {
    EXPECT_TRUE(r == MMSYSERR_NODRIVER || r == WAVERR_BADFORMAT) << r;
  }
}

}  // namespace
