#include "videolib/info_panel.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <iterator>
#include <mutex>

#if VIDEOLIB_GDI_TEXT
#include "platform/gdi/gdi.h"
#include "videolib/video_out.h"
#endif

void StorePanelRecord(SW_SHOW_ARR_ST* table, const SW_SHOW_ST& record) {
  std::atomic_ref<uint32_t> count(table->count);
  const uint32_t next = count.load(std::memory_order_relaxed) == 1 ? 2 : 1;
  std::memcpy(&table->records[next - 1], &record, sizeof(record));
  count.store(next, std::memory_order_release);
}

SW_SHOW_ST CurrentPanelRecord(const SW_SHOW_ARR_ST& table) {
  SW_SHOW_ST out;
  const uint32_t count =
      std::atomic_ref<uint32_t>(const_cast<uint32_t&>(table.count)).load(std::memory_order_acquire);
  if (count == 1 || count == 2) {
    std::memcpy(&out, &table.records[count - 1], sizeof(out));
  } else {
    std::memset(&out, 0, sizeof(out));
  }
  return out;
}

#if VIDEOLIB_GDI_TEXT
namespace info_panel {
namespace {

// "宋体" in the program's code page (GBK).
constexpr char kSongFace[] = "\xCB\xCE\xCC\xE5";

// The texts of a received entry need not be terminated: never read past their fields.
int TextLength(const char* text, size_t field) { return static_cast<int>(strnlen(text, field)); }

bool Concerns(const SW_SHOW_ENTRY_ST& entry, int channel) {
  // A channel beyond the mask's 32 bits (the playback channel is 33) has no entries.
  return channel >= 0 && channel < 32 && (entry.mask & (uint32_t{1} << channel)) != 0;
}

struct Layout {
  int label = 0;   // label column width L, separator at x = L
  int width = 0;   // W
  int height = 0;  // H
  int shown = 0;   // k
};

Layout Measure(HDC dc, const RECT& rect, const SW_SHOW_ST& record, int channel) {
  int label_width = (rect.right - rect.left) / 10;
  int value_width = label_width;
  Layout l;
  for (const SW_SHOW_ENTRY_ST& e : record.entries) {
    if (!Concerns(e, channel)) continue;
    SIZE size{0, 0};
    GetTextExtentPoint32A(dc, e.label, TextLength(e.label, sizeof(e.label)), &size);
    label_width = std::max<int>(label_width, size.cx);
    size = SIZE{0, 0};
    GetTextExtentPoint32A(dc, e.value, TextLength(e.value, sizeof(e.value)), &size);
    value_width = std::max<int>(value_width, size.cx);
    ++l.shown;
  }
  l.label = label_width + kColumnPad;
  l.width = l.label + value_width + kColumnPad;
  l.height = l.shown * kRowHeight;
  return l;
}

void FillLine(HDC dc, HBRUSH brush, int left, int top, int right, int bottom) {
  RECT r{left, top, right, bottom};
  FillRect(dc, &r, brush);
}

void DrawEntries(HDC mem, const Layout& l, const SW_SHOW_ST& record, int channel) {
  HBRUSH line = CreateSolidBrush(kLineColor);
  FillLine(mem, line, l.label, 0, l.label + 1, l.height);
  SetBkMode(mem, TRANSPARENT);
  SetTextColor(mem, kTextColor);
  int y = 3;
  for (const SW_SHOW_ENTRY_ST& e : record.entries) {
    if (!Concerns(e, channel)) continue;
    if (y > 3) FillLine(mem, line, 0, y - 3, l.width, y - 2);
    TextOutA(mem, 5, y, e.label, TextLength(e.label, sizeof(e.label)));
    TextOutA(mem, l.label + 5, y, e.value, TextLength(e.value, sizeof(e.value)));
    y += kRowHeight;
  }
  DeleteObject(line);
}

HFONT PanelFont(CVideoOut* out) {
  // The font is shared by every channel's presentation; it is made anew only when the
  // renderer's one has another height.
  if (out->GetPanelFont() == nullptr || out->GetPanelFontHeight() != kFontHeight) {
    out->SetPanelFont(CreateFontA(kFontHeight, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, kSongFace),
                      kFontHeight);
  }
  return out->GetPanelFont();
}

// The box of one channel as last drawn. Channels redraw theirs with every picture while the
// record, the font and the width of the place (which the columns depend on) stay as they
// were: the box is drawn again only when one of them changes, and only blended each time.
struct CachedBox {
  const CVideoOut* out = nullptr;
  int channel = -1;
  HFONT font = nullptr;
  int font_height = 0;
  LONG place_width = 0;
  SW_SHOW_ST record{};
  Layout layout;
  MemoryDc box;

  bool Holds(const CVideoOut* o, int ch, HFONT f, int fh, LONG w, const SW_SHOW_ST& r) const {
    return box.dc != nullptr && out == o && channel == ch && font == f && font_height == fh &&
           place_width == w && std::memcmp(&record, &r, sizeof(r)) == 0;
  }
};

// One box for each of the viewer's channels and the playback one; a slot is reused by the
// channel that draws into it next. Guarded by its own lock: renderers have one each.
constexpr int kCachedBoxes = 40;
std::mutex g_boxLock;
CachedBox g_boxes[kCachedBoxes];

CachedBox& SlotOf(int channel) { return g_boxes[static_cast<unsigned>(channel) % kCachedBoxes]; }

// Draws the box for `record` in `font` into the slot's own bitmap; false when nothing is to be
// shown or the bitmap cannot be made.
bool MakeBox(CachedBox* cached, CVideoOut* out, HFONT font, HDC dc, const RECT& rect,
             const SW_SHOW_ST& record, int channel) {
  HDC mem = CreateCompatibleDC(dc);
  if (mem == nullptr) return false;
  HGDIOBJ old_font = SelectObject(mem, font);
  const Layout l = Measure(mem, rect, record, channel);
  const bool made =
      cached->box.Take(mem, l.shown > 0 ? CreateCompatibleBitmap(dc, l.width, l.height) : nullptr);
  if (made) {
    DrawEntries(mem, l, record, channel);
    // The font is not left selected: the renderer may replace (and delete) it.
    SelectObject(mem, old_font);
    cached->out = out;
    cached->channel = channel;
    cached->font = font;
    cached->font_height = out->GetPanelFontHeight();
    cached->place_width = rect.right - rect.left;
    std::memcpy(&cached->record, &record, sizeof(record));
    cached->layout = l;
  }
  return made;
}

}  // namespace

bool HasEntries(const void* panel, int channel) {
  if (panel == nullptr) return false;
  const auto& record = *static_cast<const SW_SHOW_ST*>(panel);
  return std::any_of(std::begin(record.entries), std::end(record.entries),
                     [channel](const SW_SHOW_ENTRY_ST& e) { return Concerns(e, channel); });
}

void Draw(CVideoOut* out, HDC dc, const RECT& rect, const void* panel, int channel) {
  if (out == nullptr || dc == nullptr || panel == nullptr) return;
  const auto& record = *static_cast<const SW_SHOW_ST*>(panel);
  // Most pictures carry no entry for their channel: they cost no context.
  if (!HasEntries(panel, channel)) return;
  HFONT font = PanelFont(out);
  std::lock_guard<std::mutex> lock(g_boxLock);
  CachedBox& cached = SlotOf(channel);
  if (!cached.Holds(out, channel, font, out->GetPanelFontHeight(), rect.right - rect.left,
                    record) &&
      !MakeBox(&cached, out, font, dc, rect, record, channel)) {
    return;
  }
  const Layout& l = cached.layout;
  BLENDFUNCTION blend{AC_SRC_OVER, 0, kAlpha, 0};
  AlphaBlend(dc, rect.right - l.width - kMargin, rect.top + kMargin, l.width, l.height,
             cached.box.dc, 0, 0, l.width, l.height, blend);
}

}  // namespace info_panel
#endif
