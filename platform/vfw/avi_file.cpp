#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/file_write.h"
#include "platform/vfw/avi_format.h"
#include "platform/vfw/vfw.h"

struct IAVIStream {
  IAVIFile* file;
  int number;
  ULONG refs = 1;
  AVISTREAMINFOA info;
  std::vector<uint8_t> format;
  uint32_t chunk_id;
  uint32_t length = 0;     // samples
  uint32_t max_chunk = 0;  // largest chunk, for the suggested buffer size
  off_t strh_offset = 0;   // where its AVIStreamHeader lies in the file
};

struct IAVIFile {
  int fd = -1;
  ULONG refs = 1;
  std::vector<std::unique_ptr<IAVIStream>> streams;
  std::vector<avi::AVIINDEXENTRY> index;
  bool headers_written = false;
  bool failed = false;
  off_t movi_list = 0;  // offset of the 'movi' LIST header
  off_t end = 0;        // where the next chunk goes
  off_t avih_offset = 0;
};

namespace {

using platform::kernel::WriteAllAt;

std::atomic<int> g_users{0};

uint32_t ChunkId(int number, DWORD type) {
  const char tens = static_cast<char>('0' + number / 10),
             ones = static_cast<char>('0' + number % 10);
  return type == streamtypeAUDIO ? avi::FourCC(tens, ones, 'w', 'b')
                                 : avi::FourCC(tens, ones, 'd', 'c');
}

const IAVIStream* FirstVideo(const IAVIFile* f) {
  for (const auto& s : f->streams) {
    if (s->info.fccType == streamtypeVIDEO) return s.get();
  }
  return nullptr;
}

avi::MainAVIHeader MainHeader(const IAVIFile* f, bool with_index) {
  avi::MainAVIHeader h{};
  const IAVIStream* v = FirstVideo(f);
  if (v != nullptr && v->info.dwRate != 0) {
    h.dwMicroSecPerFrame = static_cast<uint32_t>(1000000ull * v->info.dwScale / v->info.dwRate);
    h.dwTotalFrames = v->length;
    h.dwWidth = static_cast<uint32_t>(v->info.rcFrame.right - v->info.rcFrame.left);
    h.dwHeight = static_cast<uint32_t>(v->info.rcFrame.bottom - v->info.rcFrame.top);
  }
  h.dwFlags = avi::kAvifIsInterleaved | (with_index ? avi::kAvifHasIndex : 0);
  h.dwStreams = static_cast<uint32_t>(f->streams.size());
  for (const auto& s : f->streams) {
    h.dwSuggestedBufferSize = std::max(h.dwSuggestedBufferSize, s->max_chunk + 8);
  }
  return h;
}

avi::AVIStreamHeader StreamHeader(const IAVIStream* s) {
  const AVISTREAMINFOA& i = s->info;
  avi::AVIStreamHeader h{};
  h.fccType = i.fccType;
  h.fccHandler = i.fccHandler;
  h.dwFlags = i.dwFlags;
  h.wPriority = i.wPriority;
  h.wLanguage = i.wLanguage;
  h.dwInitialFrames = i.dwInitialFrames;
  h.dwScale = i.dwScale;
  h.dwRate = i.dwRate;
  h.dwStart = i.dwStart;
  h.dwLength = s->length;
  h.dwSuggestedBufferSize = std::max(i.dwSuggestedBufferSize, s->max_chunk);
  h.dwQuality = i.dwQuality;
  h.dwSampleSize = i.dwSampleSize;
  h.rcFrame[0] = static_cast<int16_t>(i.rcFrame.left);
  h.rcFrame[1] = static_cast<int16_t>(i.rcFrame.top);
  h.rcFrame[2] = static_cast<int16_t>(i.rcFrame.right);
  h.rcFrame[3] = static_cast<int16_t>(i.rcFrame.bottom);
  return h;
}

void Append(std::vector<uint8_t>* out, const void* p, size_t n) {
  const auto* b = static_cast<const uint8_t*>(p);
  out->insert(out->end(), b, b + n);
}

void AppendChunk(std::vector<uint8_t>* out, uint32_t id, const void* p, size_t n) {
  const avi::ChunkHeader c{id, static_cast<uint32_t>(n)};
  Append(out, &c, sizeof c);
  Append(out, p, n);
  if (n % 2 != 0) out->push_back(0);
}

// Lays down RIFF, hdrl and the 'movi' LIST header; remembers where the patched fields lie.
bool WriteHeaders(IAVIFile* f) {
  std::vector<uint8_t> out;
  const avi::ListHeader riff{avi::kRiff, 0, avi::kAvi}, hdrl{avi::kList, 0, avi::kHdrl};
  Append(&out, &riff, sizeof riff);
  Append(&out, &hdrl, sizeof hdrl);
  f->avih_offset = static_cast<off_t>(out.size() + 8);
  const avi::MainAVIHeader mh = MainHeader(f, false);
  AppendChunk(&out, avi::kAvih, &mh, sizeof mh);
  for (auto& s : f->streams) {
    const size_t list_at = out.size();
    const avi::ListHeader strl{avi::kList, 0, avi::kStrl};
    Append(&out, &strl, sizeof strl);
    s->strh_offset = static_cast<off_t>(out.size() + 8);
    const avi::AVIStreamHeader sh = StreamHeader(s.get());
    AppendChunk(&out, avi::kStrh, &sh, sizeof sh);
    AppendChunk(&out, avi::kStrf, s->format.data(), s->format.size());
    const uint32_t strl_size = static_cast<uint32_t>(out.size() - list_at - 8);
    std::memcpy(out.data() + list_at + 4, &strl_size, 4);
  }
  const uint32_t hdrl_size = static_cast<uint32_t>(out.size() - sizeof riff - 8);
  std::memcpy(out.data() + sizeof riff + 4, &hdrl_size, 4);
  f->movi_list = static_cast<off_t>(out.size());
  const avi::ListHeader movi{avi::kList, 4, avi::kMovi};
  Append(&out, &movi, sizeof movi);
  const uint32_t riff_size = static_cast<uint32_t>(out.size() - 8);
  std::memcpy(out.data() + 4, &riff_size, 4);
  f->end = static_cast<off_t>(out.size());
  f->headers_written = true;
  return WriteAllAt(f->fd, out.data(), out.size(), 0);
}

// Brings the sizes and counts up to date for the chunks written so far. The sizes are
// written last, so a reader never sees a size that covers a chunk not yet complete.
bool PatchHeaders(IAVIFile* f, const IAVIStream* s, bool with_index, off_t file_end) {
  const avi::MainAVIHeader mh = MainHeader(f, with_index);
  const avi::AVIStreamHeader sh = StreamHeader(s);
  const uint32_t movi_size = static_cast<uint32_t>(f->end - f->movi_list - 8);
  const uint32_t riff_size = static_cast<uint32_t>(file_end - 8);
  return WriteAllAt(f->fd, &mh, sizeof mh, f->avih_offset) &&
         WriteAllAt(f->fd, &sh, sizeof sh, s->strh_offset) &&
         WriteAllAt(f->fd, &movi_size, 4, f->movi_list + 4) && WriteAllAt(f->fd, &riff_size, 4, 4);
}

bool AppendSample(IAVIFile* f, IAVIStream* s, const void* data, uint32_t size, DWORD flags) {
  const avi::ChunkHeader c{s->chunk_id, size};
  static const uint8_t kPad = 0;
  iovec parts[3] = {{const_cast<avi::ChunkHeader*>(&c), sizeof c},
                    {const_cast<void*>(data), size},
                    {const_cast<uint8_t*>(&kPad), size % 2}};
  const size_t total = sizeof c + size + size % 2;
  if (pwritev(f->fd, parts, 3, f->end) != static_cast<ssize_t>(total) &&
      !(WriteAllAt(f->fd, &c, sizeof c, f->end) && WriteAllAt(f->fd, data, size, f->end + 8) &&
        WriteAllAt(f->fd, &kPad, size % 2, f->end + 8 + size))) {
    return false;
  }
  f->index.push_back({s->chunk_id, flags, static_cast<uint32_t>(f->end - f->movi_list - 8), size});
  f->end += static_cast<off_t>(total);
  return true;
}

void Finish(IAVIFile* f) {
  if (!f->failed && !f->headers_written) f->failed = !WriteHeaders(f);
  if (!f->failed) {
    const avi::ChunkHeader c{avi::kIdx1, static_cast<uint32_t>(f->index.size() * 16)};
    const off_t at = f->end;
    bool ok = WriteAllAt(f->fd, &c, sizeof c, at) &&
              WriteAllAt(f->fd, f->index.data(), f->index.size() * 16, at + 8);
    for (const auto& s : f->streams) {
      ok = ok && PatchHeaders(f, s.get(), true, at + 8 + static_cast<off_t>(c.size));
    }
  }
  close(f->fd);
}

}  // namespace

void AVIFileInit() { g_users.fetch_add(1); }
void AVIFileExit() { g_users.fetch_sub(1); }

HRESULT AVIFileOpenA(PAVIFILE* file, LPCSTR name, UINT mode, const void* handler) {
  if (file == nullptr) return AVIERR_BADPARAM;
  *file = nullptr;
  if (name == nullptr || handler != nullptr) return AVIERR_BADPARAM;
  if ((mode & (OF_WRITE | OF_CREATE)) == 0) return AVIERR_READONLY;
  const int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return AVIERR_FILEOPEN;
  auto* f = new IAVIFile;
  f->fd = fd;
  f->index.reserve(4096);
  *file = f;
  return AVIERR_OK;
}

HRESULT AVIFileCreateStreamA(PAVIFILE file, PAVISTREAM* stream, const AVISTREAMINFOA* info) {
  if (stream == nullptr) return AVIERR_BADPARAM;
  *stream = nullptr;
  if (file == nullptr || info == nullptr) return AVIERR_BADPARAM;
  if (info->fccType != streamtypeVIDEO && info->fccType != streamtypeAUDIO) {
    return AVIERR_UNSUPPORTED;
  }
  if (file->headers_written || file->streams.size() >= 100) return AVIERR_UNSUPPORTED;
  auto s = std::make_unique<IAVIStream>();
  s->file = file;
  s->number = static_cast<int>(file->streams.size());
  s->info = *info;
  if (s->info.dwScale == 0) s->info.dwScale = 1;
  s->chunk_id = ChunkId(s->number, info->fccType);
  *stream = s.get();
  file->streams.push_back(std::move(s));
  ++file->refs;
  return AVIERR_OK;
}

HRESULT AVIStreamSetFormat(PAVISTREAM stream, LONG, const void* format, LONG size) {
  if (stream == nullptr || format == nullptr || size <= 0) return AVIERR_BADPARAM;
  if (stream->file->headers_written) return AVIERR_UNSUPPORTED;
  const auto* b = static_cast<const uint8_t*>(format);
  stream->format.assign(b, b + size);
  return AVIERR_OK;
}

HRESULT AVIStreamWrite(PAVISTREAM stream, LONG, LONG samples, const void* buffer, LONG size,
                       DWORD flags, LONG* samples_written, LONG* bytes_written) {
  if (samples_written != nullptr) *samples_written = 0;
  if (bytes_written != nullptr) *bytes_written = 0;
  if (stream == nullptr || size < 0 || (size > 0 && buffer == nullptr)) return AVIERR_BADPARAM;
  IAVIFile* f = stream->file;
  if (stream->format.empty()) return AVIERR_BADFORMAT;
  if (f->failed || (!f->headers_written && !WriteHeaders(f)))
    return f->failed = true, AVIERR_FILEWRITE;
  const uint32_t n = static_cast<uint32_t>(size);
  if (!AppendSample(f, stream, buffer, n, flags)) return AVIERR_FILEWRITE;
  const uint32_t count = stream->info.dwSampleSize != 0 ? n / stream->info.dwSampleSize
                                                        : static_cast<uint32_t>(samples);
  stream->length += count;
  stream->max_chunk = std::max(stream->max_chunk, n);
  if (!PatchHeaders(f, stream, false, f->end)) return AVIERR_FILEWRITE;
  if (samples_written != nullptr) *samples_written = static_cast<LONG>(count);
  if (bytes_written != nullptr) *bytes_written = size;
  return AVIERR_OK;
}

ULONG AVIFileRelease(PAVIFILE file) {
  if (file == nullptr) return 0;
  const ULONG left = --file->refs;
  if (left == 0) {
    Finish(file);
    delete file;
  }
  return left;
}

ULONG AVIStreamRelease(PAVISTREAM stream) {
  if (stream == nullptr) return 0;
  const ULONG left = --stream->refs;
  if (left == 0) AVIFileRelease(stream->file);
  return left;
}
