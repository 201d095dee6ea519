// The x11 backend: one top-level X window the size of the desktop shows the framebuffer; its
// pointer and key events become the window system's input.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <poll.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/display/display.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/code_page.h"
#include "platform/ui/controls_common.h"
#include "platform/ui/input.h"

namespace platform::display {
namespace {

constexpr int kRefreshMs = 16;
constexpr long kEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            KeyPressMask | KeyReleaseMask | StructureNotifyMask;

// One input event taken from X, handed to the window system outside the X lock.
struct InputEvent {
  enum Kind { kMove, kButton, kKey } kind;
  int x = 0, y = 0;
  ui::MouseButton button = ui::MouseButton::kLeft;
  bool down = false;
  UINT key = 0;
  std::string text = {};  // what the key typed, in the program's code page
};

UINT VirtualKey(KeySym sym) {
  if (sym >= XK_a && sym <= XK_z) return static_cast<UINT>('A' + (sym - XK_a));
  if (sym >= XK_A && sym <= XK_Z) return static_cast<UINT>(sym);
  if (sym >= XK_0 && sym <= XK_9) return static_cast<UINT>(sym);
  switch (sym) {
    case XK_Return:
    case XK_KP_Enter:
      return VK_RETURN;
    case XK_BackSpace:
      return VK_BACK;
    case XK_Tab:
      return VK_TAB;
    case XK_Escape:
      return VK_ESCAPE;
    case XK_space:
      return VK_SPACE;
    case XK_Shift_L:
    case XK_Shift_R:
      return VK_SHIFT;
    case XK_Control_L:
    case XK_Control_R:
      return VK_CONTROL;
    case XK_Left:
      return VK_LEFT;
    case XK_Right:
      return VK_RIGHT;
    case XK_Up:
      return VK_UP;
    case XK_Down:
      return VK_DOWN;
    case XK_Delete:
    case XK_KP_Delete:
      return VK_DELETE;
    case XK_Home:
    case XK_KP_Home:
      return VK_HOME;
    case XK_End:
    case XK_KP_End:
      return VK_END;
    case XK_Prior:
      return VK_PRIOR;
    case XK_Next:
      return VK_NEXT;
    case XK_Insert:
      return VK_INSERT;
    case XK_Alt_L:
    case XK_Alt_R:
      return VK_MENU;
    case XK_ISO_Left_Tab:
      return VK_TAB;
    default:
      if (sym >= XK_F1 && sym <= XK_F12) return static_cast<UINT>(0x70 + (sym - XK_F1));
      if (sym >= XK_KP_0 && sym <= XK_KP_9) return static_cast<UINT>('0' + (sym - XK_KP_0));
      return 0;
  }
}

// The character a keysym stands for (Latin-1 keysyms are their code points, Unicode keysyms
// carry theirs), 0 for none.
char32_t KeysymCodePoint(KeySym sym) {
  if ((sym >= 0x20 && sym <= 0x7E) || (sym >= 0xA0 && sym <= 0xFF))
    return static_cast<char32_t>(sym);
  if ((sym & 0xFF000000) == 0x01000000) return static_cast<char32_t>(sym & 0x00FFFFFF);
  return 0;
}

std::string Utf8Of(char32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | (c >> 6));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    s += static_cast<char>(0xE0 | (c >> 12));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | (c >> 18));
    s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

// UTF-8 text to the program's code page (GBK); a character GBK lacks, or a broken sequence,
// becomes '?'.
std::string ToCodePage(const std::string& utf8) {
  if (utf8.empty()) return utf8;
  const int size = static_cast<int>(utf8.size());
  const int chars = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::u16string wide(chars, u'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), chars);
  const int bytes =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), chars, nullptr, 0, nullptr, nullptr);
  std::string out(bytes, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), chars, out.data(), bytes, nullptr, nullptr);
  return out;
}

unsigned FontCursorFor(int cursor_id) {
  switch (cursor_id) {
    case 32649:
      return XC_hand2;
    case 32513:
      return XC_xterm;
    case 32514:
      return XC_watch;
    case 32515:
      return XC_crosshair;
    case 32646:
      return XC_fleur;
    default:
      return XC_left_ptr;
  }
}

class X11Display : public Display {
 public:
  X11Display(const DisplayOptions& options, ::Display* x)
      : Display(options.width, options.height), x_(x) {}
  ~X11Display() override;

  bool Open(const DisplayOptions& options, std::string* error);
  const char* backend() const override { return "x11"; }
  bool Present() override;
  bool CloseRequested() const override { return close_requested_.load(); }

 private:
  void Run();
  // REQUIRES: x_mutex_ held.
  void PushDirty();
  void Translate(const XEvent& event, std::vector<InputEvent>* out);
  static void OnCursor(void* self, int cursor_id);
  // What a key press typed, in the code page: from the input method when there is one (UTF-8),
  // else from the keysym with the modifiers applied. REQUIRES: x_mutex_ held.
  std::string KeyText(XKeyEvent* key);

  ::Display* x_;
  ::Window window_ = 0;
  GC gc_ = nullptr;
  XImage* image_ = nullptr;
  Atom delete_atom_ = 0;
  XIM im_ = nullptr;  // the input method and its context, when the server offers one
  XIC ic_ = nullptr;
  std::mutex x_mutex_;                       // guards every Xlib call on x_
  std::unordered_map<int, Cursor> cursors_;  // guarded by x_mutex_
  std::atomic<bool> stop_{false};
  std::atomic<bool> close_requested_{false};
  std::thread thread_;
};

bool X11Display::Open(const DisplayOptions& options, std::string* error) {
  int screen = DefaultScreen(x_);
  Visual* visual = DefaultVisual(x_, screen);
  if (DefaultDepth(x_, screen) != 24 || visual->red_mask != 0xFF0000 ||
      visual->green_mask != 0x00FF00 || visual->blue_mask != 0x0000FF) {
    *error = "x11: the screen is not 24-bit TrueColor";
    return false;
  }
  Framebuffer& fb = framebuffer();
  window_ = XCreateSimpleWindow(x_, RootWindow(x_, screen), 0, 0, fb.width(), fb.height(), 0,
                                BlackPixel(x_, screen), BlackPixel(x_, screen));
  XStoreName(x_, window_, options.title.c_str());
  XSizeHints hints{};
  hints.flags = PMinSize | PMaxSize;
  hints.min_width = hints.max_width = fb.width();
  hints.min_height = hints.max_height = fb.height();
  XSetWMNormalHints(x_, window_, &hints);
  delete_atom_ = XInternAtom(x_, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(x_, window_, &delete_atom_, 1);
  XSelectInput(x_, window_, kEventMask);
  gc_ = XCreateGC(x_, window_, 0, nullptr);
  image_ = XCreateImage(x_, visual, 24, ZPixmap, 0, reinterpret_cast<char*>(fb.pixels()),
                        fb.width(), fb.height(), 32, fb.stride() * 4);
  if (image_ == nullptr) {
    *error = "x11: cannot make an image of the framebuffer";
    return false;
  }
  image_->byte_order = LSBFirst;  // our pixels as they lie in memory; Xlib swaps if needed
  if (XSupportsLocale()) {
    XSetLocaleModifiers("");
    im_ = XOpenIM(x_, nullptr, nullptr, nullptr);
    if (im_ != nullptr) {
      ic_ = XCreateIC(im_, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                      window_, XNFocusWindow, window_, nullptr);
      if (ic_ != nullptr) XSetICFocus(ic_);
    }
  }
  XMapWindow(x_, window_);
  XSync(x_, False);
  ui::SetCursorObserver(&X11Display::OnCursor, this);
  thread_ = std::thread([this] { Run(); });
  return true;
}

X11Display::~X11Display() {
  ui::SetCursorObserver(nullptr, nullptr);
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(x_mutex_);
  if (image_ != nullptr) {
    image_->data = nullptr;  // the framebuffer owns the pixels
    XDestroyImage(image_);
  }
  if (ic_ != nullptr) XDestroyIC(ic_);
  if (im_ != nullptr) XCloseIM(im_);
  for (auto& [id, cursor] : cursors_) XFreeCursor(x_, cursor);
  if (gc_ != nullptr) XFreeGC(x_, gc_);
  if (window_ != 0) XDestroyWindow(x_, window_);
  XCloseDisplay(x_);
}

void X11Display::PushDirty() {
  Framebuffer& fb = framebuffer();
  std::lock_guard<std::mutex> lock(fb.mutex());
  RECT r = fb.TakeDirty();
  if (r.right <= r.left || r.bottom <= r.top) return;
  XPutImage(x_, window_, gc_, image_, r.left, r.top, r.left, r.top, r.right - r.left,
            r.bottom - r.top);
}

bool X11Display::Present() {
  std::lock_guard<std::mutex> lock(x_mutex_);
  PushDirty();
  XSync(x_, False);
  return !close_requested_.load();
}

std::string X11Display::KeyText(XKeyEvent* key) {
  if (key->state & Mod1Mask) return "";  // Alt with a key is a command, not text
  char buf[64];
  KeySym sym = NoSymbol;
  if (ic_ != nullptr) {
    Status status = 0;
    int n = Xutf8LookupString(ic_, key, buf, sizeof(buf) - 1, &sym, &status);
    if ((status == XLookupChars || status == XLookupBoth) && n > 0) {
      return ToCodePage(std::string(buf, static_cast<size_t>(n)));
    }
    if (status != XLookupKeySym && status != XLookupBoth) sym = NoSymbol;
  } else {
    int n = XLookupString(key, buf, sizeof(buf) - 1, &sym, nullptr);
    if (n > 0 && static_cast<unsigned char>(buf[0]) < 0x80) return std::string(buf, 1);
  }
  if (sym == NoSymbol) {
    // A key remapped a moment ago can come before this connection has taken the new map (seen
    // with keys mapped for a symbol no key had); the server's map is asked directly.
    int per_code = 0;
    KeySym* syms = XGetKeyboardMapping(x_, static_cast<KeyCode>(key->keycode), 1, &per_code);
    if (syms != nullptr) {
      if (per_code > 0) sym = syms[0];
      XFree(syms);
    }
  }
  char32_t c = KeysymCodePoint(sym);
  return c == 0 ? "" : ToCodePage(Utf8Of(c));
}

void X11Display::Translate(const XEvent& e, std::vector<InputEvent>* out) {
  switch (e.type) {
    case MotionNotify:
      out->push_back({InputEvent::kMove, e.xmotion.x, e.xmotion.y});
      break;
    case ButtonPress:
    case ButtonRelease: {
      unsigned b = e.xbutton.button;
      if (b < 1 || b > 3) break;  // the wheel is not used
      InputEvent in{InputEvent::kButton, e.xbutton.x, e.xbutton.y};
      in.button = b == 1   ? ui::MouseButton::kLeft
                  : b == 3 ? ui::MouseButton::kRight
                           : ui::MouseButton::kMiddle;
      in.down = e.type == ButtonPress;
      out->push_back(in);
      break;
    }
    case KeyPress:
    case KeyRelease: {
      XKeyEvent key = e.xkey;
      InputEvent in{InputEvent::kKey};
      in.key = VirtualKey(XLookupKeysym(&key, 0));
      in.down = e.type == KeyPress;
      if (in.down) in.text = KeyText(&key);
      if (in.key == 0 && in.text.empty()) break;
      out->push_back(in);
      break;
    }
    case Expose: {
      Framebuffer& fb = framebuffer();
      std::lock_guard<std::mutex> lock(fb.mutex());
      fb.MarkDirty(RECT{e.xexpose.x, e.xexpose.y, e.xexpose.x + e.xexpose.width,
                        e.xexpose.y + e.xexpose.height});
      break;
    }
    case MappingNotify:  // the keyboard's map changed: look keys up in the new one
      XRefreshKeyboardMapping(const_cast<XMappingEvent*>(&e.xmapping));
      break;
    case ClientMessage:
      if (static_cast<Atom>(e.xclient.data.l[0]) == delete_atom_) close_requested_ = true;
      break;
    default:
      break;
  }
}

void X11Display::Run() {
  pollfd fd{ConnectionNumber(x_), POLLIN, 0};
  std::vector<InputEvent> events;
  while (!stop_) {
    poll(&fd, 1, kRefreshMs);
    {
      std::lock_guard<std::mutex> lock(x_mutex_);
      while (XPending(x_) > 0) {
        XEvent event;
        XNextEvent(x_, &event);
        if (XFilterEvent(&event, None)) continue;  // the input method's own
        Translate(event, &events);
      }
      PushDirty();
      XFlush(x_);
    }
    for (const InputEvent& in : events) {
      DWORD now = GetTickCount();
      if (in.kind == InputEvent::kMove) ui::InputMouseMove(in.x, in.y, now);
      if (in.kind == InputEvent::kButton) ui::InputMouseButton(in.button, in.down, in.x, in.y, now);
      if (in.kind == InputEvent::kKey) {
        if (in.key != 0) ui::InputKey(in.key, in.down, now, !in.text.empty());
        if (!in.text.empty()) ui::InputText(in.text.data(), in.text.size(), now);
      }
    }
    events.clear();
  }
}

void X11Display::OnCursor(void* self_ptr, int cursor_id) {
  auto* self = static_cast<X11Display*>(self_ptr);
  std::lock_guard<std::mutex> lock(self->x_mutex_);
  auto it = self->cursors_.find(cursor_id);
  if (it == self->cursors_.end()) {
    it = self->cursors_.emplace(cursor_id, XCreateFontCursor(self->x_, FontCursorFor(cursor_id)))
             .first;
  }
  XDefineCursor(self->x_, self->window_, it->second);
  XFlush(self->x_);
}

}  // namespace

std::unique_ptr<Display> CreateX11Display(const DisplayOptions& options, std::string* error) {
  const char* name = options.x11_display.empty() ? nullptr : options.x11_display.c_str();
  ::Display* x = XOpenDisplay(name);
  if (x == nullptr) {
    *error = std::string("x11: cannot open display ") +
             (name ? name : (XDisplayName(nullptr) ? XDisplayName(nullptr) : ""));
    return nullptr;
  }
  auto display = std::make_unique<X11Display>(options, x);
  if (!display->Open(options, error)) return nullptr;
  return display;
}

}  // namespace platform::display
