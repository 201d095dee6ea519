// The information panel and the text lines as they reach the headless desktop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "videolib/channel.h"
#include "videolib/channel_test_support.h"
#include "videolib/info_panel.h"
#include "videolib/pixel_convert.h"

namespace {

using channel_test::PictureOrigin;
using channel_test::PlaceForPicture;
using videownd_test::Desktop;
using videownd_test::ParentWindow;
using videownd_test::Xrgb;

constexpr char kSong[] = "\xCB\xCE\xCC\xE5";

SW_SHOW_ENTRY_ST Entry(const char* label, const char* value, uint32_t mask) {
  SW_SHOW_ENTRY_ST e{};
  std::strncpy(e.label, label, sizeof(e.label) - 1);
  std::strncpy(e.value, value, sizeof(e.value) - 1);
  e.mask = mask;
  return e;
}

SW_SHOW_ST Record(std::initializer_list<SW_SHOW_ENTRY_ST> entries) {
  SW_SHOW_ST r{};
  int i = 0;
  for (const auto& e : entries) r.entries[i++] = e;
  return r;
}

// Width of `text` (first `count` bytes, all when -1) in a Song font of `height`.
int TextWidth(const char* text, int height, int count = -1) {
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HFONT font = CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, FF_SWISS, kSong);
  HGDIOBJ old = SelectObject(mem, font);
  SIZE size{0, 0};
  GetTextExtentPoint32A(mem, text, count < 0 ? static_cast<int>(std::strlen(text)) : count, &size);
  SelectObject(mem, old);
  DeleteObject(font);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return size.cx;
}

// src over dst at the panel's constant alpha, per colour channel (0x00RRGGBB).
uint32_t Blend(uint32_t src, uint32_t dst) {
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t s = (src >> shift) & 0xFF, d = (dst >> shift) & 0xFF;
    out |= ((s * info_panel::kAlpha + d * (255 - info_panel::kAlpha) + 127) / 255) << shift;
  }
  return out;
}

bool Near(uint32_t a, uint32_t b, int tolerance = 3) {
  for (int shift = 0; shift < 24; shift += 8) {
    int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d < -tolerance || d > tolerance) return false;
  }
  return true;
}

// The box a record's entries for one channel make: label column, width and height.
struct Box {
  int label, width, height;
};
Box ExpectedBox(int area_width, std::initializer_list<SW_SHOW_ENTRY_ST> shown) {
  int lw = area_width / 10, vw = area_width / 10;
  for (const auto& e : shown) {
    lw = std::max(lw, TextWidth(e.label, info_panel::kFontHeight));
    vw = std::max(vw, TextWidth(e.value, info_panel::kFontHeight));
  }
  return Box{lw + 30, lw + 30 + vw + 30, static_cast<int>(shown.size()) * 20};
}

// A channel with the text fields opened up.
class TextChannel : public CChannel {
 public:
  void SetOpaque(int on) { m_bOsdOpaque = on; }
  int FontSize() const { return m_nFontSize; }
};

class OnScreenTextTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (desktop_ == nullptr) desktop_ = new Desktop(800, 600);
    ASSERT_NE(CChannel::InitRender(), nullptr);
  }
  static void TearDownTestSuite() { CChannel::UninitRender(); }
  void TearDown() override {
    if (channel_) channel_->StopDecode(0);
    channel_.reset();
    parent_.reset();
  }
  // A channel window whose client area is width x height; its client origin on the desktop.
  POINT MakeChannel(int id, int width, int height) {
    parent_ = std::make_unique<ParentWindow>(20, 20, 700, 560);
    channel_ = std::make_unique<TextChannel>();
    channel_->Init(nullptr, id);
    PlaceForPicture(channel_.get(), parent_->hwnd(), width, height);
    channel_->Close();
    channel_->Open(width, height, 0, 0, 0);
    desktop_->Drain();
    return PictureOrigin(channel_.get());
  }
  // A flat grey picture over the whole client area, with `record` drawn on it.
  uint32_t DrawGrey(int width, int height, const SW_SHOW_ST& record) {
    std::vector<BYTE> pic(static_cast<size_t>(width) * height * 2);
    for (size_t i = 0; i < pic.size(); i += 2) pic[i] = 140, pic[i + 1] = 128;
    EXPECT_EQ(CChannel::m_vOut.DrawDibYuy2(pic.data(), channel_->m_hWnd, &record,
                                           channel_->ChannelId(), 0, 0, width, height),
              0);
    BYTE bgr[6];
    pixel::reference::Yuy2ToBgr24(pic.data(), bgr, 2, 1);
    return (uint32_t{bgr[2]} << 16) | (uint32_t{bgr[1]} << 8) | bgr[0];
  }
  uint32_t Px(int x, int y) { return desktop_->Pixel(x, y); }
  // The brightest pixel of a desktop rectangle (for text).
  uint32_t Brightest(int left, int top, int right, int bottom) {
    uint32_t best = 0;
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) best = std::max(best, Px(x, y) & 0xFF);
    }
    return best;
  }

  static Desktop* desktop_;
  std::unique_ptr<ParentWindow> parent_;
  std::unique_ptr<TextChannel> channel_;
};
Desktop* OnScreenTextTest::desktop_ = nullptr;

TEST(PanelRecords, TheNewestIsCurrentAndTheOtherStaysWhole) {
  SW_SHOW_ARR_ST table{};
  EXPECT_EQ(CurrentPanelRecord(table).entries[0].mask, 0u);  // count 0: an empty record
  const SW_SHOW_ST a = Record({Entry("a", "1", 1)}), b = Record({Entry("b", "2", 2)}),
                   c = Record({Entry("c", "3", 4)});
  StorePanelRecord(&table, a);
  EXPECT_EQ(table.count, 1u);
  StorePanelRecord(&table, b);
  EXPECT_EQ(table.count, 2u);
  EXPECT_STREQ(table.records[0].entries[0].label, "a");  // the previous one was not touched
  EXPECT_STREQ(CurrentPanelRecord(table).entries[0].label, "b");
  StorePanelRecord(&table, c);
  EXPECT_EQ(table.count, 1u);
  EXPECT_STREQ(table.records[1].entries[0].label, "b");
  EXPECT_STREQ(CurrentPanelRecord(table).entries[0].label, "c");
  table.count = 7;  // not a record number: nothing is shown
  EXPECT_EQ(CurrentPanelRecord(table).entries[0].mask, 0u);
}

TEST_F(OnScreenTextTest, PanelSitsInTheUpperRightWithMeasuredColumns) {
  const auto temp = Entry("Temperature", "41 C", 0b10);
  const auto disk = Entry("Disk", "2 of 4 full", 0b11);
  const auto other = Entry("First channel only", "x", 0b01);
  const auto none = Entry("Nobody sees this very long label", "", 0);
  const SW_SHOW_ST record = Record({temp, other, disk, none});
  POINT o = MakeChannel(1, 352, 288);
  const uint32_t grey = DrawGrey(352, 288, record);
  const Box box = ExpectedBox(352, {temp, disk});
  const int x0 = o.x + 352 - box.width - 40, y0 = o.y + 40;
  const uint32_t back = Blend(0, grey), line = Blend(Xrgb(info_panel::kLineColor), grey);
  EXPECT_TRUE(Near(Px(x0, y0), back));
  EXPECT_TRUE(Near(Px(x0 + box.width - 1, y0 + box.height - 1), back));
  EXPECT_EQ(Px(x0 - 1, y0 + 1), grey);
  EXPECT_EQ(Px(x0 + box.width, y0 + 1), grey);
  EXPECT_EQ(Px(x0 + 1, y0 - 1), grey);
  EXPECT_EQ(Px(x0 + 1, y0 + box.height), grey);  // two rows: the other entries are not shown
  // Separators: the column line over the full height, a row line between the two entries.
  EXPECT_TRUE(Near(Px(x0 + box.label, y0), line));
  EXPECT_TRUE(Near(Px(x0 + box.label, y0 + box.height - 1), line));
  EXPECT_TRUE(Near(Px(x0 + box.label - 1, y0 + 1), back));
  EXPECT_TRUE(Near(Px(x0 + 2, y0 + 20), line));
  EXPECT_TRUE(Near(Px(x0 + box.width - 2, y0 + 20), line));
  EXPECT_TRUE(Near(Px(x0 + 2, y0 + 19), back));
  // Text in both columns, as bright as the text colour through the box.
  const uint32_t text = Blend(info_panel::kTextColor, grey) & 0xFF;
  EXPECT_GE(Brightest(x0 + 5, y0 + 3, x0 + box.label, y0 + 20), text - 12);
  EXPECT_GE(Brightest(x0 + box.label + 5, y0 + 23, x0 + box.width, y0 + 40), text - 12);
  EXPECT_LE(Brightest(x0 + 5, y0 + 3, x0 + box.width, y0 + 40), text + 3);

  // The first channel's window: its own two entries, the long label widening the box.
  o = MakeChannel(0, 352, 288);
  DrawGrey(352, 288, record);
  const Box first = ExpectedBox(352, {other, disk});
  EXPECT_GT(first.width, box.width);
  ASSERT_LT(first.width, 352 - 40);
  EXPECT_TRUE(Near(Px(o.x + 352 - first.width - 40, o.y + 41), back));
  EXPECT_EQ(Px(o.x + 352 - first.width - 41, o.y + 41), grey);
}

TEST_F(OnScreenTextTest, EachPictureShowsTheBoxOfTheRecordAndPlaceItIsDrawnWith) {
  // The same channel drawn again and again, as live pictures are: the box follows each
  // change of its record and of its window's width, and comes back as it was.
  const auto short_value = Entry("Fan", "on", 0b10);
  const auto long_value = Entry("Fan", "on, running at full speed", 0b10);
  const auto second = Entry("Disk", "ok", 0b10);
  struct Step {
    SW_SHOW_ST record;
    Box box;
  };
  const Step steps[] = {
      {Record({short_value}), ExpectedBox(352, {short_value})},
      {Record({short_value}), ExpectedBox(352, {short_value})},
      {Record({long_value}), ExpectedBox(352, {long_value})},
      {Record({short_value, second}), ExpectedBox(352, {short_value, second})},
      {Record({short_value}), ExpectedBox(352, {short_value})},
  };
  POINT o = MakeChannel(1, 352, 288);
  for (const Step& step : steps) {
    const uint32_t grey = DrawGrey(352, 288, step.record);
    const int x0 = o.x + 352 - step.box.width - 40, y0 = o.y + 40;
    EXPECT_TRUE(Near(Px(x0, y0 + 1), Blend(0, grey))) << step.box.width;
    EXPECT_EQ(Px(x0 - 1, y0 + 1), grey) << step.box.width;
    EXPECT_EQ(Px(x0 + 1, y0 + step.box.height), grey) << step.box.height;
    EXPECT_TRUE(Near(Px(x0 + 1, y0 + step.box.height - 1), Blend(0, grey))) << step.box.height;
  }
  // A wider window of the same channel: the label column is a tenth of it at least.
  const SW_SHOW_ST record = Record({short_value});
  o = MakeChannel(1, 680, 288);
  const uint32_t grey = DrawGrey(680, 288, record);
  const Box wide = ExpectedBox(680, {short_value});
  EXPECT_GT(wide.width, ExpectedBox(352, {short_value}).width);
  EXPECT_TRUE(Near(Px(o.x + 680 - wide.width - 40, o.y + 41), Blend(0, grey)));
  EXPECT_EQ(Px(o.x + 680 - wide.width - 41, o.y + 41), grey);
}

TEST_F(OnScreenTextTest, NarrowWindowsAndChannelsWithoutEntries) {
  const auto temp = Entry("Temperature inside", "41 C", 0b1000);
  POINT o = MakeChannel(3, 120, 100);
  const uint32_t grey = DrawGrey(120, 100, Record({temp}));
  // The box is wider than the window: it still ends 40 pixels from the right edge.
  EXPECT_GT(ExpectedBox(120, {temp}).width, 80);
  EXPECT_TRUE(Near(Px(o.x, o.y + 41), Blend(0, grey)));
  EXPECT_TRUE(Near(Px(o.x + 79, o.y + 41), Blend(0, grey)));
  EXPECT_EQ(Px(o.x + 80, o.y + 41), grey);
  EXPECT_EQ(Px(o.x, o.y + 60), grey);

  // Texts that fill their fields without a terminator are measured within the fields.
  SW_SHOW_ENTRY_ST full{};
  std::memset(full.label, 'M', sizeof(full.label));
  std::memset(full.value, 'W', sizeof(full.value));
  full.mask = 1u << 5;
  o = MakeChannel(5, 680, 100);
  const uint32_t g = DrawGrey(680, 100, Record({full}));
  const std::string label(sizeof(full.label), 'M'), value(sizeof(full.value), 'W');
  const int w = TextWidth(label.c_str(), info_panel::kFontHeight) +
                TextWidth(value.c_str(), info_panel::kFontHeight) + 60;
  ASSERT_LT(w, 640);
  EXPECT_TRUE(Near(Px(o.x + 680 - w - 40, o.y + 41), Blend(0, g)));
  EXPECT_EQ(Px(o.x + 680 - w - 41, o.y + 41), g);

  // No entry for the channel, or the playback channel beyond the mask's bits: no box.
  for (int id : {2, 33}) {
    o = MakeChannel(id, 352, 288);
    SW_SHOW_ST all = Record({Entry("Everyone else", "1", ~(uint32_t{1} << 2))});
    if (id == 33) all.entries[0].mask = 0xFFFFFFFFu;
    const uint32_t g = DrawGrey(352, 288, all);
    for (int x = 0; x < 352; x += 4) ASSERT_EQ(Px(o.x + x, o.y + 45), g) << id << " " << x;
  }
}

TEST_F(OnScreenTextTest, DecodedPicturesShowTheCurrentRecord) {
  constexpr int kW = 176, kH = 144;
  static const h264test::Clip clip = h264test::MakeClip(kW, kH, 20);
  const auto reference = channel_test::ReferenceDecode(clip);
  POINT o = MakeChannel(3, kW, kH);
  const auto row = Entry("Link", "up", 0b1000);
  const int width = ExpectedBox(kW, {row}).width;
  std::memset(&CChannel::m_swdata, 0, sizeof(CChannel::m_swdata));
  StorePanelRecord(&CChannel::m_swdata, Record({row}));
  StorePanelRecord(&CChannel::m_swdata, Record({row, row}));  // the newer, with two rows
  ASSERT_EQ(channel_->StartDecode(), 1);
  channel_test::Produce(channel_.get(), clip).join();
  channel_->StopDecode(1);
  const auto& last = reference.back();
  const int x = kW - width - 40 + 2;
  for (int y : {41, 61, 79}) {
    EXPECT_TRUE(Near(Px(o.x + x, o.y + y), Blend(0, channel_test::ExpectedRgb(last, x, y)), 12))
        << y;
  }
  EXPECT_TRUE(Near(Px(o.x + x, o.y + 81), channel_test::ExpectedRgb(last, x, 81), 24));

  // The text lines over the same window, then what a person would see.
  channel_->UpdateOsdstr(0, "CH4 gate");
  channel_->UpdateOsdstr(1, "2026-12-08 01:40:00");
  channel_->DrawOsdString(channel_->m_hWnd);
  if (const char* shot = std::getenv("ON_SCREEN_TEXT_SHOT")) {
    std::string error;
    EXPECT_TRUE(desktop_->display().Screenshot(shot, &error)) << error;
  }
}

TEST_F(OnScreenTextTest, TextLinesAreCutToTheWidthCountedInHalfFontHeights) {
  const char* text = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghij";
  const uint32_t blue = Xrgb(0xFF0000);
  POINT o = MakeChannel(0, 116, 120);
  channel_->SetOpaque(1);
  channel_->UpdateOsdstr(0, text);
  channel_->UpdateOsdstr(1, "bottom");
  channel_->UpdateOsdstr(2, "ignored");
  channel_->DrawOsdString(channel_->m_hWnd);
  // Size 13: (116 - 16) / 6 = 16 characters from x = 10, the cell starting at y = 20.
  const int fits = TextWidth(text, 13, 16);
  auto right_at = [&](int y) {
    int right = -1;
    for (int x = 0; x < 116; ++x) right = Px(o.x + x, o.y + y) == blue ? x : right;
    return right;
  };
  EXPECT_EQ(right_at(21), 10 + fits - 1);
  EXPECT_NE(Px(o.x + 10, o.y + 19), blue);
  EXPECT_EQ(right_at(120 - 13 - 2 + 1), 10 + TextWidth("bottom", 13) - 1);

  // Bottom line off; a font size of 0 is held at 2, so 100 characters fit.
  channel_->SetOsdEnable(1, 0);
  channel_->SetOsdEnable(5, 0);
  channel_->SetFontSize(0);
  EXPECT_EQ(channel_->FontSize(), 2);
  channel_->SetFontColor(0x00FF00);
  channel_->SetFontBkColor(0x0000FF);
  InvalidateRect(channel_->m_hWnd, nullptr, TRUE);
  desktop_->Drain();
  channel_->DrawOsdString(channel_->m_hWnd);
  EXPECT_EQ(right_at(21), -1);  // the blue background is gone...
  auto reddish = [&](int y) {   // ...for the new one, in a 2-pixel cell
    int n = 0;
    for (int x = 0; x < 116; ++x) n += (Px(o.x + x, o.y + y) >> 16) > 0xC0 ? 1 : 0;
    return n;
  };
  EXPECT_GT(reddish(20), 20);
  EXPECT_EQ(reddish(120 - 4), 0);

  // Too narrow for any character; both lines off: nothing drawn, nothing divided.
  o = MakeChannel(0, 12, 60);
  channel_->SetOpaque(1);
  channel_->UpdateOsdstr(0, text);
  channel_->DrawOsdString(channel_->m_hWnd);
  EXPECT_NE(Px(o.x + 10, o.y + 21), blue);
  channel_->SetOsdEnable(0, 0);
  channel_->SetOsdEnable(1, 0);
  channel_->DrawOsdString(nullptr);
}

}  // namespace
