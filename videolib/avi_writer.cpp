#include "videolib/avi_writer.h"

#include <cstring>
#include <mutex>

namespace {

constexpr int64_t kOneSecond = 10000000;  // in 100 ns units

// The 'strf' of a video stream: a BITMAPINFOHEADER as it lies in the file.
struct BitmapInfoHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

std::mutex g_ref_mutex;  // guards CAviWriter::m_iAviRef

// The difference of two time stamps taken on their low 32 bits, read as signed: a stamp that
// wraps its low word still gives the small step it is, and one that goes back gives a
// negative step (no gaps) instead of four billion.
int32_t LowDiff(int64_t later, int64_t earlier) {
  return static_cast<int32_t>(static_cast<uint32_t>(later) - static_cast<uint32_t>(earlier));
}

}  // namespace

int CAviWriter::m_iAviRef = 0;

CAviWriter::CAviWriter()
    : m_pFile(nullptr),
      m_pVideo(nullptr),
      m_pAudio(nullptr),
      m_nRate(25),
      m_nFramesThisSecond(0),
      m_lastTime(0),
      m_windowStart(0),
      m_nVideoIndex(0),
      m_nAudioIndex(0),
      m_nBytes(0),
      m_bStarted(0),
      m_szFileName{} {
  std::lock_guard<std::mutex> lock(g_ref_mutex);
  if (m_iAviRef++ == 0) AVIFileInit();
}

CAviWriter::~CAviWriter() {
  Close();
  std::lock_guard<std::mutex> lock(g_ref_mutex);
  if (--m_iAviRef <= 0) AVIFileExit();
}

int CAviWriter::Open(const char* name, tagVideoStreamInfo* video, tagAudioStreamInfo* audio) {
  CrAutoLock lock(&m_lock);
  if (!Open(name)) return 0;
  if (video != nullptr &&
      !CreateVideoStream(static_cast<int>(video->width), static_cast<int>(video->height),
                         static_cast<int>(video->rate), video->fourcc)) {
    CloseLocked();  // a file without its video stream would only block the next Open
    return 0;
  }
  if (audio != nullptr) CreateAudioStream(&audio->wfx, audio->sampleSize, audio->handler);
  return 1;
}

void CAviWriter::Close() {
  CrAutoLock lock(&m_lock);
  CloseLocked();
}

void CAviWriter::CloseLocked() {
  if (m_pVideo != nullptr) AVIStreamRelease(m_pVideo);
  m_pVideo = nullptr;
  if (m_pAudio != nullptr) AVIStreamRelease(m_pAudio);
  m_pAudio = nullptr;
  if (m_pFile != nullptr) AVIFileRelease(m_pFile);
  m_pFile = nullptr;
}

int CAviWriter::Open(const char* name) {
  CrAutoLock lock(&m_lock);
  if (m_pFile != nullptr || name == nullptr) return 0;
  m_nFramesThisSecond = 0;
  m_lastTime = 0;
  m_windowStart = 0;
  m_nVideoIndex = 0;
  m_nAudioIndex = 0;
  m_nBytes = 0;
  m_bStarted = 0;
  std::strncpy(m_szFileName, name, sizeof m_szFileName - 1);
  m_szFileName[sizeof m_szFileName - 1] = '\0';
  if (AVIFileOpenA(&m_pFile, name, OF_CREATE | OF_SHARE_DENY_WRITE | OF_WRITE, nullptr) !=
      AVIERR_OK) {
    m_pFile = nullptr;
    return 0;
  }
  return 1;
}

int CAviWriter::CreateVideoStream(int width, int height, int rate, DWORD fourcc) {
  CrAutoLock lock(&m_lock);
  // The frame rectangle is stored in 16-bit fields.
  if (m_pFile == nullptr || m_pVideo != nullptr || width <= 0 || height <= 0 || width > 32767 ||
      height > 32767)
    return 0;
  if (rate != 0) m_nRate = rate;
  const DWORD image = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 2;
  AVISTREAMINFOA info{};
  info.fccType = streamtypeVIDEO;
  info.fccHandler = fourcc;
  info.dwScale = 1;
  info.dwRate = static_cast<DWORD>(m_nRate);
  info.dwSuggestedBufferSize = image;
  info.dwQuality = static_cast<DWORD>(-1);
  info.rcFrame = {0, 0, width, height};
  if (AVIFileCreateStreamA(m_pFile, &m_pVideo, &info) != AVIERR_OK) {
    m_pVideo = nullptr;
    return 0;
  }
  const BitmapInfoHeader bih{40, width, height, 1, 16, fourcc, image, 0, 0, 0, 0};
  if (AVIStreamSetFormat(m_pVideo, 0, &bih, sizeof bih) != AVIERR_OK) {
    AVIStreamRelease(m_pVideo);
    m_pVideo = nullptr;
    return 0;
  }
  return 1;
}

int CAviWriter::CreateAudioStream(const WAVEFORMATEX* format, DWORD sample_size, DWORD handler) {
  CrAutoLock lock(&m_lock);
  if (m_pFile == nullptr || m_pAudio != nullptr || format == nullptr) return 0;
  AVISTREAMINFOA info{};
  info.fccType = streamtypeAUDIO;
  info.fccHandler = handler;
  info.dwScale = format->nBlockAlign;
  info.dwRate = format->nAvgBytesPerSec;
  info.dwQuality = 0;
  info.dwSampleSize = sample_size;
  if (AVIFileCreateStreamA(m_pFile, &m_pAudio, &info) != AVIERR_OK) {
    m_pAudio = nullptr;
    return 0;
  }
  HRESULT set;
  if (format->wFormatTag == WAVE_FORMAT_IMA_ADPCM) {
    IMAADPCMWAVEFORMAT ima{*format, 0};
    ima.wfx.cbSize = 2;
    // Without a sample size the block is described by the codec's own rule instead of
    // dividing by zero.
    ima.wSamplesPerBlock =
        sample_size != 0
            ? static_cast<WORD>(format->nAvgBytesPerSec / 4 / sample_size)
            : static_cast<WORD>(format->nChannels != 0 && format->wBitsPerSample != 0
                                    ? (format->nBlockAlign - 4 * format->nChannels) * 8 /
                                              (format->wBitsPerSample * format->nChannels) +
                                          1
                                    : 0);
    set = AVIStreamSetFormat(m_pAudio, 0, &ima, sizeof ima);
  } else {
    set = AVIStreamSetFormat(m_pAudio, 0, format, sizeof *format);
  }
  if (set != AVIERR_OK) {
    AVIStreamRelease(m_pAudio);
    m_pAudio = nullptr;
  }
  return 1;
}

int CAviWriter::PaceVideo(int64_t time, int interval) {
  if (!m_bStarted) {
    m_bStarted = 1;
    m_lastTime = time;
    m_windowStart = time;
  }
  // The source's interval less one millisecond of tolerance. An interval of 1 ms or less
  // leaves no step to count missing frames by: every picture is then written as it comes.
  const int64_t step = (static_cast<int64_t>(interval) - 1) * 10000;
  int64_t gaps = step > 0 ? LowDiff(time, m_lastTime) / step : 0;
  if (gaps > 1) m_nFramesThisSecond += static_cast<int>(gaps - 1);
  const int32_t elapsed = LowDiff(time, m_windowStart);
  if (elapsed >= kOneSecond) {
    if (step > 0) {
      if (m_nFramesThisSecond < m_nRate) gaps += m_nRate - m_nFramesThisSecond;
      const int64_t rest = elapsed % kOneSecond;
      if (rest >= step) {
        gaps += rest / step;
        if (gaps > 10 && gaps >= m_nRate) gaps = m_nRate;
      }
    }
    m_windowStart += elapsed;
    m_nFramesThisSecond = 0;
  }
  return static_cast<int>(gaps);
}

long CAviWriter::WriteVideo(void* data, long size, int64_t time, int interval) {
  CrAutoLock lock(&m_lock);
  if (m_pVideo == nullptr) return -1;
  const int gaps = PaceVideo(time, interval);
  for (int i = 1; i < gaps; ++i) {
    if (AVIStreamWrite(m_pVideo, m_nVideoIndex, 1, data, 0, 0, nullptr, nullptr) != AVIERR_OK)
      return -2;
    ++m_nVideoIndex;
  }
  if (size < 0 || size > INT32_MAX ||
      AVIStreamWrite(m_pVideo, m_nVideoIndex, 1, data, static_cast<LONG>(size), AVIIF_KEYFRAME,
                     nullptr, nullptr) != AVIERR_OK)
    return -3;
  ++m_nVideoIndex;
  ++m_nFramesThisSecond;
  m_nBytes += size;
  m_lastTime = time;
  return size;
}

long CAviWriter::WriteAudio(void* data, long size) {
  CrAutoLock lock(&m_lock);
  if (m_pAudio == nullptr) return -1;
  LONG samples = 0;
  if (size < 0 || size > INT32_MAX ||
      AVIStreamWrite(m_pAudio, m_nAudioIndex, 1, data, static_cast<LONG>(size), AVIIF_KEYFRAME,
                     &samples, nullptr) != AVIERR_OK)
    return -3;
  m_nAudioIndex += samples;
  m_nBytes += size;
  return size;
}

long CAviWriter::GetSize() {
  CrAutoLock lock(&m_lock);
  return m_pFile != nullptr ? static_cast<long>(m_nBytes) : -1;
}
