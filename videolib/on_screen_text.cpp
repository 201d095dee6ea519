// The channel's two text lines, drawn over its window on request.
#include <algorithm>

#include "platform/gdi/gdi.h"
#include "platform/ui/ui.h"
#include "videolib/channel.h"

namespace {

// "宋体" in the program's code page (GBK).
constexpr char kSongFace[] = "\xCB\xCE\xCC\xE5";
// The line length is counted in half font heights; smaller sizes would count none.
constexpr int kMinFontSize = 2;

HFONT MakeFont(int size) {
  return CreateFontA(size, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     DEFAULT_QUALITY, FF_SWISS, kSongFace);
}

// How many characters of a line fit a client area `width` wide.
int Fitting(int width, int font_size) {
  const int per_char = std::max(font_size, kMinFontSize) / 2;
  return std::max(0, (width - 16) / per_char);
}

void DrawLine(HDC dc, int x, int y, const std::string& text, int fitting) {
  const int count = std::min(fitting, static_cast<int>(text.size()));
  if (count > 0) TextOutA(dc, x, y, text.data(), count);
}

}  // namespace

void CChannel::SetOsdEnable(int index, int enable) {
  if (index == 0 || index == 1) m_bOsdEnable[index] = enable;
}

void CChannel::UpdateOsdstr(int index, const char* text) {
  if (index == 0 || index == 1) m_strOsd[index] = text != nullptr ? text : "";
}

void CChannel::SetFontSize(int size) {
  size = std::max(size, kMinFontSize);
  if (m_hOsdFont != nullptr) DeleteObject(m_hOsdFont);
  m_hOsdFont = MakeFont(size);
  m_nFontSize = size;
}

void CChannel::DrawOsdString(HWND window) {
  if (!m_bOsdEnable[0] && !m_bOsdEnable[1]) return;
  RECT client{0, 0, 0, 0};
  GetClientRect(window, &client);
  if (m_hOsdFont == nullptr) m_hOsdFont = MakeFont(std::max(m_nFontSize, kMinFontSize));
  HDC dc = GetDC(window);
  if (dc == nullptr) return;
  HGDIOBJ old_font = SelectObject(dc, m_hOsdFont);
  SetBkMode(dc, m_bOsdOpaque ? OPAQUE : TRANSPARENT);
  SetTextColor(dc, m_crOsdText);
  SetBkColor(dc, m_crOsdBack);
  const int fitting = Fitting(client.right - client.left, m_nFontSize);
  if (m_bOsdEnable[0]) DrawLine(dc, 10, 20, m_strOsd[0], fitting);
  if (m_bOsdEnable[1]) {
    DrawLine(dc, 10, client.bottom - client.top - m_nFontSize - 2, m_strOsd[1], fitting);
  }
  SelectObject(dc, old_font);
  ReleaseDC(window, dc);
}
