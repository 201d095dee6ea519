// The header control: one row of column titles that can be clicked and resized by dragging
// the divider at each title's right edge.
#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/commctrl_internal.h"

namespace platform::ui::commctrl {
namespace {

constexpr int kDividerSlop = 4;  // pixels either side of a divider that grab it
constexpr int kMinWidth = 0;

struct Item {
  std::string text;
  int width = 0;
  int fmt = HDF_LEFT | HDF_STRING;
  LPARAM data = 0;
};

struct Header {
  std::vector<Item> items;
  HFONT font = nullptr;
  int pressed = -1;   // item under a press that may become a click
  int tracking = -1;  // item whose divider is dragged
  int track_offset = 0;
};

StateMap<Header>& States() {
  static auto* states = new StateMap<Header>;
  return *states;
}

RECT ItemRect(const Header& h, int index, int height) {
  int x = 0;
  for (int i = 0; i < index; ++i) x += h.items[i].width;
  return RECT{x, 0, x + h.items[index].width, height};
}

int ClientHeight(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  return client.bottom;
}

// The item under x, and whether x is on that item's right divider.
int HitTest(const Header& h, int x, bool* on_divider) {
  *on_divider = false;
  int left = 0;
  for (size_t i = 0; i < h.items.size(); ++i) {
    int right = left + h.items[i].width;
    if (std::abs(x - right) <= kDividerSlop) {
      // The last divider that matches wins, so a zero-width column can be pulled open again.
      size_t j = i;
      while (j + 1 < h.items.size() && h.items[j + 1].width == 0) ++j;
      *on_divider = true;
      return static_cast<int>(j);
    }
    if (x >= left && x < right) return static_cast<int>(i);
    left = right;
  }
  return -1;
}

void FillItem(const Item& item, UINT mask, HDITEMA* out) {
  if (mask & HDI_WIDTH) out->cxy = item.width;
  if (mask & HDI_FORMAT) out->fmt = item.fmt;
  if (mask & HDI_LPARAM) out->lParam = item.data;
  if ((mask & HDI_TEXT) && out->pszText != nullptr && out->cchTextMax > 0) {
    size_t n = std::min(item.text.size(), static_cast<size_t>(out->cchTextMax - 1));
    std::memcpy(out->pszText, item.text.data(), n);
    out->pszText[n] = '\0';
  }
}

void ApplyItem(const HDITEMA& in, Item* item) {
  if (in.mask & HDI_WIDTH) item->width = std::max(in.cxy, kMinWidth);
  if (in.mask & HDI_FORMAT) item->fmt = in.fmt;
  if (in.mask & HDI_LPARAM) item->data = in.lParam;
  if (in.mask & HDI_TEXT) item->text = in.pszText != nullptr ? in.pszText : "";
}

LRESULT NotifyItem(HWND window, UINT code, int index, HDITEMA* item) {
  NMHEADERA nm{};
  nm.iItem = index;
  nm.iButton = 0;
  nm.pitem = item;
  return Notify(window, code, &nm.hdr);
}

void DrawDefaultItem(HDC dc, const Item& item, const RECT& r, bool pressed) {
  FillColor(dc, r, pressed ? RGB(200, 204, 210) : RGB(236, 238, 241));
  HLine(dc, r.left, r.right, r.bottom - 1, RGB(160, 166, 175));
  VLine(dc, r.right - 1, r.top + 3, r.bottom - 3, RGB(160, 166, 175));
  RECT text = r;
  InflateRect(&text, -6, 0);
  UINT align = (item.fmt & HDF_JUSTIFYMASK) == HDF_CENTER  ? DT_CENTER
               : (item.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT ? DT_RIGHT
                                                           : DT_LEFT;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(20, 24, 30));
  DrawTextA(dc, item.text.c_str(), -1, &text,
            align | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
}

LRESULT CustomDraw(HWND window, DWORD stage, HDC dc, const RECT& r, DWORD_PTR item, UINT state,
                   LPARAM data) {
  NMCUSTOMDRAW cd{};
  cd.dwDrawStage = stage;
  cd.hdc = dc;
  cd.rc = r;
  cd.dwItemSpec = item;
  cd.uItemState = state;
  cd.lItemlParam = data;
  return Notify(window, NM_CUSTOMDRAW, &cd.hdr);
}

void Paint(HWND window, Header* h) {
  OffscreenPaint paint(window);
  HDC dc = paint.dc();
  const RECT& client = paint.client();
  FillColor(dc, client, RGB(236, 238, 241));
  HGDIOBJ old_font = SelectObject(dc, FontOr(h->font));
  LRESULT whole = CustomDraw(window, CDDS_PREPAINT, dc, client, 0, 0, 0);
  if (!(whole & CDRF_SKIPDEFAULT)) {
    for (size_t i = 0; i < h->items.size(); ++i) {
      RECT r = ItemRect(*h, static_cast<int>(i), client.bottom);
      bool pressed = static_cast<int>(i) == h->pressed;
      if (whole & CDRF_NOTIFYITEMDRAW) {
        LRESULT own = CustomDraw(window, CDDS_ITEMPREPAINT, dc, r, i, pressed ? CDIS_SELECTED : 0,
                                 h->items[i].data);
        if (own & CDRF_SKIPDEFAULT) continue;
      }
      DrawDefaultItem(dc, h->items[i], r, pressed);
    }
  }
  if (whole & CDRF_NOTIFYPOSTPAINT) CustomDraw(window, CDDS_POSTPAINT, dc, client, 0, 0, 0);
  SelectObject(dc, old_font);
}

// Applies a width change the parent may refuse; tells it of the change when it goes through.
void ChangeWidth(HWND window, Header* h, int index, int width) {
  width = std::max(width, kMinWidth);
  if (h->items[index].width == width) return;
  HDITEMA change{};
  change.mask = HDI_WIDTH;
  change.cxy = width;
  if (NotifyItem(window, HDN_ITEMCHANGINGA, index, &change)) return;
  h = States().Get(window);
  if (h == nullptr || index >= static_cast<int>(h->items.size())) return;
  h->items[index].width = width;
  InvalidateRect(window, nullptr, FALSE);
  NotifyItem(window, HDN_TRACKA, index, &change);
  NotifyItem(window, HDN_ITEMCHANGEDA, index, &change);
}

void OnButtonDown(HWND window, Header* h, int x) {
  bool divider;
  int index = HitTest(*h, x, &divider);
  if (index < 0) return;
  SetCapture(window);
  if (divider) {
    HDITEMA item{};
    item.mask = HDI_WIDTH;
    item.cxy = h->items[index].width;
    if (NotifyItem(window, HDN_BEGINTRACKA, index, &item)) {
      ReleaseCapture();
      return;
    }
    if ((h = States().Get(window)) == nullptr) return;
    h->tracking = index;
    h->track_offset = x - ItemRect(*h, index, 0).right;
    return;
  }
  if (GetWindowLongPtrA(window, GWL_STYLE) & HDS_BUTTONS) {
    h->pressed = index;
    InvalidateRect(window, nullptr, FALSE);
  }
}

void OnMouseMove(HWND window, Header* h, int x) {
  if (h->tracking < 0) return;
  RECT r = ItemRect(*h, h->tracking, 0);
  ChangeWidth(window, h, h->tracking, x - h->track_offset - r.left);
}

void OnButtonUp(HWND window, Header* h, int x, int y) {
  int tracking = std::exchange(h->tracking, -1);
  int pressed = std::exchange(h->pressed, -1);
  if (GetCapture() == window) ReleaseCapture();
  if (tracking >= 0) {
    HDITEMA item{};
    item.mask = HDI_WIDTH;
    item.cxy = h->items[tracking].width;
    NotifyItem(window, HDN_ENDTRACKA, tracking, &item);
    return;
  }
  if (pressed < 0) return;
  InvalidateRect(window, nullptr, FALSE);
  bool divider;
  bool inside = y >= 0 && y < ClientHeight(window);
  if (inside && HitTest(*h, x, &divider) == pressed && !divider) {
    NotifyItem(window, HDN_ITEMCLICKA, pressed, nullptr);
  }
}

void OnDoubleClick(HWND window, Header* h, int x) {
  bool divider;
  int index = HitTest(*h, x, &divider);
  if (index < 0) return;
  NotifyItem(window, divider ? HDN_DIVIDERDBLCLICKA : HDN_ITEMDBLCLICKA, index, nullptr);
}

LRESULT Layout(HWND window, Header* h, HDLAYOUT* layout) {
  if (layout == nullptr || layout->prc == nullptr || layout->pwpos == nullptr) return FALSE;
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, FontOr(h->font));
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  int height = (GetWindowLongPtrA(window, GWL_STYLE) & WS_VISIBLE) ? tm.tmHeight + 8 : 0;
  RECT* r = layout->prc;
  *layout->pwpos = WINDOWPOS{window, nullptr, r->left, r->top, r->right - r->left, height, 0};
  r->top += height;
  return TRUE;
}

LRESULT ItemMessage(HWND window, Header* h, UINT message, WPARAM wparam, LPARAM lparam) {
  int count = static_cast<int>(h->items.size());
  int index = static_cast<int>(wparam);
  auto* item = reinterpret_cast<HDITEMA*>(lparam);
  switch (message) {
    case HDM_GETITEMCOUNT:
      return count;
    case HDM_INSERTITEMA: {
      if (item == nullptr) return -1;
      Item made;
      ApplyItem(*item, &made);
      index = std::clamp(index, 0, count);
      h->items.insert(h->items.begin() + index, made);
      InvalidateRect(window, nullptr, FALSE);
      return index;
    }
    case HDM_DELETEITEM:
      if (index < 0 || index >= count) return FALSE;
      h->items.erase(h->items.begin() + index);
      InvalidateRect(window, nullptr, FALSE);
      return TRUE;
    case HDM_GETITEMA:
      if (index < 0 || index >= count || item == nullptr) return FALSE;
      FillItem(h->items[index], item->mask, item);
      return TRUE;
    case HDM_SETITEMA: {
      if (index < 0 || index >= count || item == nullptr) return FALSE;
      if (NotifyItem(window, HDN_ITEMCHANGINGA, index, item)) return FALSE;
      if ((h = States().Get(window)) == nullptr || index >= static_cast<int>(h->items.size())) {
        return FALSE;
      }
      ApplyItem(*item, &h->items[index]);
      InvalidateRect(window, nullptr, FALSE);
      NotifyItem(window, HDN_ITEMCHANGEDA, index, item);
      return TRUE;
    }
    case HDM_GETITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(lparam);
      if (index < 0 || index >= count || r == nullptr) return FALSE;
      *r = ItemRect(*h, index, ClientHeight(window));
      return TRUE;
    }
    case HDM_HITTEST: {
      auto* info = reinterpret_cast<HDHITTESTINFO*>(lparam);
      if (info == nullptr) return -1;
      bool divider;
      info->iItem = HitTest(*h, info->pt.x, &divider);
      info->flags = info->iItem < 0 ? HHT_NOWHERE : divider ? HHT_ONDIVIDER : HHT_ONHEADER;
      return info->iItem;
    }
    default:
      return 0;
  }
}

LRESULT HeaderProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) States().Create(window);
  Header* h = States().Get(window);
  if (h == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  switch (message) {
    case WM_NCDESTROY:
      States().Erase(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(window, h);
      return 0;
    case WM_SETFONT:
      h->font = reinterpret_cast<HFONT>(wparam);
      if (lparam) InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(h->font);
    case WM_LBUTTONDOWN:
      OnButtonDown(window, h, GET_X_LPARAM(lparam));
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(window, h, GET_X_LPARAM(lparam));
      return 0;
    case WM_LBUTTONUP:
      OnButtonUp(window, h, GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
      return 0;
    case WM_LBUTTONDBLCLK:
      OnDoubleClick(window, h, GET_X_LPARAM(lparam));
      return 0;
    case WM_CAPTURECHANGED:
      h->tracking = -1;
      if (std::exchange(h->pressed, -1) >= 0) InvalidateRect(window, nullptr, FALSE);
      return 0;
    case HDM_LAYOUT:
      return Layout(window, h, reinterpret_cast<HDLAYOUT*>(lparam));
    default:
      if (message >= HDM_FIRST && message <= HDM_GETITEMRECT) {
        return ItemMessage(window, h, message, wparam, lparam);
      }
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

}  // namespace

void RegisterHeaderClass() { RegisterControlClass(WC_HEADERA, HeaderProc, CS_DBLCLKS); }

}  // namespace platform::ui::commctrl
