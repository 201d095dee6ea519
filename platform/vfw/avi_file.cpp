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
  off_t indx_offset = 0;   // where its 'indx' (or the 'JUNK' holding its place) chunk lies
  uint32_t super_entries = 0;
  uint32_t first_riff_length = 0;          // samples in the first RIFF, once it is closed
  std::vector<avi::StdIndexEntry> chunks;  // of the current RIFF
  uint32_t riff_duration = 0;              // samples in the current RIFF
};

struct IAVIFile {
  int fd = -1;
  ULONG refs = 1;
  std::vector<std::unique_ptr<IAVIStream>> streams;
  std::vector<avi::AVIINDEXENTRY> index;
  bool headers_written = false;
  bool failed = false;
  off_t movi_list = 0;   // offset of the current RIFF's 'movi' LIST header
  off_t riff_start = 0;  // offset of the current RIFF header
  int riffs = 1;
  off_t end = 0;  // where the next chunk goes
  off_t avih_offset = 0;
  off_t dmlh_offset = 0;
  uint64_t riff_limit = 0;
};

namespace {

using platform::kernel::WriteAllAt;

std::atomic<int> g_users{0};

constexpr uint64_t kDefaultRiffLimit = 1ull << 30;
std::atomic<uint64_t> g_riff_limit{kDefaultRiffLimit};

constexpr size_t kSuperIndexBytes =
    sizeof(avi::SuperIndexHeader) + avi::kSuperIndexEntries * sizeof(avi::SuperIndexEntry);

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
    h.dwTotalFrames = f->riffs > 1 ? v->first_riff_length : v->length;
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
    // The super index's place, a 'JUNK' to readers until its first entry is written.
    s->indx_offset = static_cast<off_t>(out.size());
    const std::vector<uint8_t> reserved(kSuperIndexBytes, 0);
    AppendChunk(&out, avi::kJunk, reserved.data(), reserved.size());
    const uint32_t strl_size = static_cast<uint32_t>(out.size() - list_at - 8);
    std::memcpy(out.data() + list_at + 4, &strl_size, 4);
  }
  const avi::ListHeader odml{avi::kList, 4 + 8 + avi::kDmlhBytes, avi::kOdml};
  Append(&out, &odml, sizeof odml);
  f->dmlh_offset = static_cast<off_t>(out.size() + 8);
  const std::vector<uint8_t> dmlh(avi::kDmlhBytes, 0);
  AppendChunk(&out, avi::kDmlh, dmlh.data(), dmlh.size());
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
bool PatchHeaders(IAVIFile* f, const IAVIStream* s, bool with_index, off_t riff_end) {
  const avi::MainAVIHeader mh = MainHeader(f, with_index);
  const avi::AVIStreamHeader sh = StreamHeader(s);
  const IAVIStream* v = FirstVideo(f);
  const uint32_t total_frames = v != nullptr ? v->length : 0;
  const uint32_t movi_size = static_cast<uint32_t>(f->end - f->movi_list - 8);
  const uint32_t riff_size = static_cast<uint32_t>(riff_end - f->riff_start - 8);
  return WriteAllAt(f->fd, &mh, sizeof mh, f->avih_offset) &&
         WriteAllAt(f->fd, &sh, sizeof sh, s->strh_offset) &&
         WriteAllAt(f->fd, &total_frames, 4, f->dmlh_offset) &&
         WriteAllAt(f->fd, &movi_size, 4, f->movi_list + 4) &&
         WriteAllAt(f->fd, &riff_size, 4, f->riff_start + 4);
}

// What closing the current RIFF adds: a standard index per stream and, in the first RIFF,
// the 'idx1'; `more` chunks still to come.
uint64_t ClosingBytes(const IAVIFile* f, size_t more) {
  uint64_t bytes = 0;
  for (const auto& s : f->streams) {
    bytes += 8 + sizeof(avi::StdIndexHeader) + (s->chunks.size() + more) * 8;
  }
  if (f->riffs == 1) bytes += 8 + (f->index.size() + more) * sizeof(avi::AVIINDEXENTRY);
  return bytes;
}

// Ends the current RIFF's 'movi' with a standard index per stream (each then entered in its
// stream's super index) and, for the first RIFF, the 'idx1'. `riff_end` gets the RIFF's end.
bool CloseRiff(IAVIFile* f, off_t* riff_end) {
  struct Written {
    IAVIStream* stream;
    off_t at;
    uint32_t size;
  };
  std::vector<Written> written;
  for (auto& s : f->streams) {
    if (s->chunks.empty()) continue;
    const uint32_t entries = static_cast<uint32_t>(s->chunks.size());
    const avi::ChunkHeader c{avi::FourCC('i', 'x', static_cast<char>('0' + s->number / 10),
                                         static_cast<char>('0' + s->number % 10)),
                             static_cast<uint32_t>(sizeof(avi::StdIndexHeader) + entries * 8)};
    const avi::StdIndexHeader h{
        2, 0, avi::kIndexOfChunks, entries, s->chunk_id, static_cast<uint64_t>(f->movi_list), 0};
    if (!WriteAllAt(f->fd, &c, sizeof c, f->end) || !WriteAllAt(f->fd, &h, sizeof h, f->end + 8) ||
        !WriteAllAt(f->fd, s->chunks.data(), entries * 8, f->end + 8 + sizeof h)) {
      return false;
    }
    written.push_back({s.get(), f->end, static_cast<uint32_t>(8 + c.size)});
    f->end += static_cast<off_t>(8 + c.size);
  }
  *riff_end = f->end;
  if (f->riffs == 1) {
    const avi::ChunkHeader c{avi::kIdx1, static_cast<uint32_t>(f->index.size() * 16)};
    if (!WriteAllAt(f->fd, &c, sizeof c, f->end) ||
        !WriteAllAt(f->fd, f->index.data(), f->index.size() * 16, f->end + 8)) {
      return false;
    }
    *riff_end = f->end + 8 + static_cast<off_t>(c.size);
  }
  // The super index entries, then their count, then (once) the chunk's name: a reader sees
  // either the 'JUNK' or an 'indx' whose entries are all written.
  for (const Written& w : written) {
    IAVIStream* s = w.stream;
    if (s->super_entries < avi::kSuperIndexEntries) {
      const avi::SuperIndexEntry e{static_cast<uint64_t>(w.at), w.size, s->riff_duration};
      const off_t header = s->indx_offset + 8;
      const avi::SuperIndexHeader h{
          4, 0, avi::kIndexOfIndexes, s->super_entries + 1, s->chunk_id, {0, 0, 0}};
      const avi::ChunkHeader c{avi::kIndx, static_cast<uint32_t>(kSuperIndexBytes)};
      if (!WriteAllAt(f->fd, &e, sizeof e,
                      header + static_cast<off_t>(sizeof h + s->super_entries * sizeof e)) ||
          !WriteAllAt(f->fd, &h, sizeof h, header) ||
          (s->super_entries == 0 && !WriteAllAt(f->fd, &c, sizeof c, s->indx_offset))) {
        return false;
      }
      ++s->super_entries;
    }
    s->chunks.clear();
    s->riff_duration = 0;
  }
  return true;
}

// Closes the current RIFF and opens an 'AVIX' one after it.
bool NextRiff(IAVIFile* f) {
  off_t riff_end = 0;
  if (!CloseRiff(f, &riff_end)) return false;
  if (f->riffs == 1) {
    for (auto& s : f->streams) s->first_riff_length = s->length;
  }
  for (const auto& s : f->streams) {
    if (!PatchHeaders(f, s.get(), f->riffs == 1, riff_end)) return false;
  }
  const avi::ListHeader riff{avi::kRiff, 4 + 12, avi::kAvix}, movi{avi::kList, 4, avi::kMovi};
  uint8_t out[24];
  std::memcpy(out, &riff, sizeof riff);
  std::memcpy(out + 12, &movi, sizeof movi);
  if (!WriteAllAt(f->fd, out, sizeof out, riff_end)) return false;
  f->riff_start = riff_end;
  f->movi_list = riff_end + 12;
  f->end = riff_end + 24;
  ++f->riffs;
  return true;
}

bool AppendSample(IAVIFile* f, IAVIStream* s, const void* data, uint32_t size, DWORD flags) {
  const avi::ChunkHeader c{s->chunk_id, size};
  static const uint8_t kPad = 0;
  const size_t total = sizeof c + size + size % 2;
  // A RIFF that would outgrow its limit with this chunk and its indexes is closed first
  // (unless it holds nothing yet: a chunk larger than the limit then has a RIFF to itself).
  const bool holds_chunks = f->end > f->movi_list + 12;
  if (holds_chunks &&
      static_cast<uint64_t>(f->end - f->riff_start) + total + ClosingBytes(f, 1) > f->riff_limit) {
    if (!NextRiff(f)) return false;
  }
  iovec parts[3] = {{const_cast<avi::ChunkHeader*>(&c), sizeof c},
                    {const_cast<void*>(data), size},
                    {const_cast<uint8_t*>(&kPad), size % 2}};
  if (pwritev(f->fd, parts, 3, f->end) != static_cast<ssize_t>(total) &&
      !(WriteAllAt(f->fd, &c, sizeof c, f->end) && WriteAllAt(f->fd, data, size, f->end + 8) &&
        WriteAllAt(f->fd, &kPad, size % 2, f->end + 8 + size))) {
    return false;
  }
  if (f->riffs == 1) {
    f->index.push_back(
        {s->chunk_id, flags, static_cast<uint32_t>(f->end - f->movi_list - 8), size});
  }
  const uint32_t key = (flags & AVIIF_KEYFRAME) != 0 ? 0 : avi::kStdIndexNotKey;
  s->chunks.push_back({static_cast<uint32_t>(f->end + 8 - f->movi_list), size | key});
  f->end += static_cast<off_t>(total);
  return true;
}

void Finish(IAVIFile* f) {
  if (!f->failed && !f->headers_written) f->failed = !WriteHeaders(f);
  if (!f->failed) {
    off_t riff_end = 0;
    bool ok = CloseRiff(f, &riff_end);
    for (const auto& s : f->streams) ok = ok && PatchHeaders(f, s.get(), true, riff_end);
  }
  close(f->fd);
}

}  // namespace

void AVIFileSetRiffLimit(uint64_t bytes) {
  g_riff_limit = bytes == 0 || bytes > kDefaultRiffLimit ? kDefaultRiffLimit : bytes;
}

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
  f->riff_limit = g_riff_limit;
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
  const uint32_t count = stream->info.dwSampleSize != 0 ? n / stream->info.dwSampleSize
                                                        : static_cast<uint32_t>(samples);
  // The counts are 32-bit in every header: a stream that would pass them is refused.
  if (static_cast<uint64_t>(stream->length) + count > UINT32_MAX) return AVIERR_FILEWRITE;
  // A write that failed leaves the file's end unknown: nothing more goes in after it.
  if (!AppendSample(f, stream, buffer, n, flags)) return f->failed = true, AVIERR_FILEWRITE;
  stream->length += count;
  stream->riff_duration += count;
  stream->max_chunk = std::max(stream->max_chunk, n);
  if (!PatchHeaders(f, stream, false, f->end)) return f->failed = true, AVIERR_FILEWRITE;
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
