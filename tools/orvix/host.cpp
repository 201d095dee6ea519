#include "tools/orvix/host.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "platform/display/display.h"
#include "platform/process/console.h"
#include "platform/ui/dialog.h"
#include "platform/ui/dialog_message_box.h"
#include "platform/ui/ui.h"
#include "stream/rtsp_auth.h"
#include "tools/orvix/activex_viewer.h"
#include "tools/orvix/control_actions.h"
#include "tools/orvix/dvr_simulator.h"
#include "tools/orvix/host_options.h"
#include "tools/orvix/hosted_viewer.h"
#include "tools/orvix/plugin_viewer.h"
#include "tools/orvix/properties.h"
#include "tools/orvix/scripts.h"

namespace orvix {
namespace {

constexpr char kHostClass[] = "OrvixHostWindow";
constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMs = 20;       // while scripted input is still to come
constexpr UINT kIdleTickMs = 200;  // then: stop requests and the end time only
constexpr UINT kStopMessage = WM_APP + 1;
constexpr int kSimulatorStartMs = 120000;  // it encodes every channel's loop before it listens

// What the command line asks for, read and checked before anything starts.
struct Plan {
  HostOptions options;
  PageParams page;
  std::string classId;  // the page's <object classid>
  std::vector<InputStep> input;
  std::vector<int> answers;
  // The page embeds a plug-in (<embed type=...>) instead of naming a control.
  bool pluginPage = false;
};

std::atomic<HWND> g_host_window{nullptr};
std::atomic<int> g_stop_requests{0};

BOOL OnConsoleEvent(DWORD) {
  if (++g_stop_requests > 1) {
    std::fprintf(stderr, "orvix: stopping at once\n");
    std::_Exit(130);
  }
  std::fprintf(stderr, "orvix: stopping (Ctrl-C again stops at once)\n");
  HWND window = g_host_window.load();
  if (window != nullptr) PostMessageA(window, kStopMessage, 0, 0);
  return TRUE;
}

// The browser's part: the top-level window that holds the viewer, the clock of the scripts.
class HostWindow {
 public:
  HostWindow(const Plan& plan, platform::display::Display& display)
      : plan_(plan), display_(display) {}

  bool Create(int width, int height) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &HostWindow::Proc;
    wc.lpszClassName = kHostClass;
    if (!GetClassInfoA(nullptr, kHostClass, &wc) && !RegisterClassA(&wc)) return false;
    hwnd_ = CreateWindowExA(0, kHostClass, "Orvix", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                            width, height, nullptr, nullptr, nullptr, this);
    return hwnd_ != nullptr;
  }
  HWND hwnd() const { return hwnd_; }
  void set_viewer(HostedViewer* viewer) { viewer_ = viewer; }

  // Runs the message loop until something ends it; gives the exit status.
  int Run() {
    start_ = std::chrono::steady_clock::now();
    SetTimer(hwnd_, kTickTimer, kTickMs, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      // Modeless dialogs and the docked panel take their keyboard (Tab, Enter, Esc) first.
      HWND dialog = platform::ui::DialogForMessage(msg.hwnd);
      if (dialog != nullptr && IsDialogMessageA(dialog, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (IsWindow(hwnd_)) KillTimer(hwnd_, kTickTimer);
    return exit_code_;
  }

 private:
  static LRESULT Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(hwnd, message, wparam, lparam);
    switch (message) {
      case WM_TIMER:
        if (wparam == kTickTimer) self->Tick();
        return 0;
      case WM_SIZE:
        if (self->viewer_ != nullptr && self->viewer_->window() != nullptr) {
          MoveWindow(self->viewer_->window(), 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
        }
        return 0;
      case kStopMessage:
        self->Quit(kExitOk);
        return 0;
      case WM_DESTROY:
        self->Quit(self->exit_code_);
        return 0;
      default:
        return DefWindowProcA(hwnd, message, wparam, lparam);
    }
  }

  void Quit(int code) {
    if (quitting_) return;
    quitting_ = true;
    exit_code_ = code;
    PostQuitMessage(code);
  }

  void Tick() {
    if (quitting_) return;
    double now = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    for (const InputStep& step : DueSteps(plan_.input, now, &next_step_)) {
      if (!Play(step)) return;
    }
    // With no input left to play, the host need not wake fifty times a second beside the
    // pictures it shows.
    if (!idle_ && next_step_ >= plan_.input.size()) {
      idle_ = true;
      SetTimer(hwnd_, kTickTimer, kIdleTickMs, nullptr);
    }
    // A stop asked for before the loop ran had no window to be posted to.
    if (display_.CloseRequested() || g_stop_requests.load() > 0) return Quit(kExitOk);
    const HostOptions& o = plan_.options;
    if (!o.after || now < *o.after) return;
    if (!o.screenshot.empty()) {
      Quit(Screenshot(o.screenshot) ? kExitOk : kExitFailed);
    } else {
      Quit(kExitOk);
    }
  }

  bool Play(const InputStep& step) {
    platform::display::InputInjector& input = display_.input();
    switch (step.action) {
      case InputAction::kMove:
        input.MoveTo(step.x, step.y);
        break;
      case InputAction::kClick:
        input.Click(step.x, step.y);
        break;
      case InputAction::kDoubleClick:
        input.DoubleClick(step.x, step.y);
        break;
      case InputAction::kRightClick:
        input.RightClick(step.x, step.y);
        break;
      case InputAction::kScreenshot:
        if (!Screenshot(step.file)) {
          Quit(kExitFailed);
          return false;
        }
        break;
      default: {
        std::string error;
        if (!PlayControlStep(step, input, &error)) {
          std::fprintf(stderr, "orvix: input line %d: %s\n", step.line, error.c_str());
          Quit(kExitFailed);
          return false;
        }
        break;
      }
    }
    return true;
  }

  // What a person sees now: every window that waits for painting is painted first.
  bool Screenshot(const std::string& path) {
    UpdateWindow(hwnd_);
    display_.Present();
    std::string error;
    if (!display_.Screenshot(path, &error)) {
      std::fprintf(stderr, "orvix: %s\n", error.c_str());
      return false;
    }
    std::printf("orvix: screenshot %s\n", path.c_str());
    std::fflush(stdout);
    return true;
  }

  const Plan& plan_;
  platform::display::Display& display_;
  HWND hwnd_ = nullptr;
  HostedViewer* viewer_ = nullptr;
  std::chrono::steady_clock::time_point start_;
  size_t next_step_ = 0;
  bool idle_ = false;  // the tick has slowed down
  bool quitting_ = false;
  int exit_code_ = kExitOk;
};

Plan ReadPlan(const std::vector<std::string>& args) {
  Plan plan;
  plan.options = ParseHostOptions(args);
  if (plan.options.help) return plan;
  if (!plan.options.pageFile.empty()) {
    try {
      plan.page = ReadPageFile(plan.options.pageFile, &plan.classId);
    } catch (const std::invalid_argument&) {
      plan.pluginPage = IsPluginPageFile(plan.options.pageFile);
      if (!plan.pluginPage) throw;
    }
  }
  if (!plan.options.inputFile.empty()) {
    plan.input = ReadInputScript(plan.options.inputFile);
    CheckInsideDesktop(plan.input, plan.options.width, plan.options.height);
  }
  plan.answers = ParseAnswerScript(plan.options.answers);
  (void)BuildProperties(plan.options, plan.page, "");  // a bad Url param of the page ends here
  if (!plan.options.screenshot.empty() && !plan.options.after) plan.options.after = 1.0;
  return plan;
}

int ChannelsFor(const PageProperties& properties) {
  int n = std::atoi(properties.Get("DvrChnNum").c_str());
  return n < 1 ? 1 : n > 8 ? 8 : n;
}

// Starts the simulator and points the properties at it. Null on failure (reported).
std::unique_ptr<DvrSimulator> StartSimulator(const Plan& plan, PageProperties* properties) {
  std::string program = FindDvrsim(plan.options.dvrsim);
  if (program.empty()) {
    std::fprintf(stderr, "orvix: cannot find dvrsim (build it, or give --dvrsim PATH or --dvr)\n");
    return nullptr;
  }
  // The simulator serves audio too, so that the viewer has sound.
  std::vector<std::string> args = {"--audio"};
  args.insert(args.end(), plan.options.dvrsimArgs.begin(), plan.options.dvrsimArgs.end());
  int channels = ChannelsFor(*properties);
  std::printf("orvix: starting %s\n", program.c_str());
  std::fflush(stdout);
  std::string error;
  std::unique_ptr<DvrSimulator> sim;
  if (CanBindLoopbackPort(554)) {
    sim = DvrSimulator::Start(program, 554, channels, args, kSimulatorStartMs, &error);
  } else {
    std::printf(
        "orvix: port 554 cannot be bound here (taken, or not root and no network "
        "namespace of our own); dvrsim takes a free port instead\n");
    std::fflush(stdout);
    // Its commands move too, to a port the viewer's panel is then told of.
    if (int commands = FreeLoopbackUdpPort(); commands > 0) {
      args.insert(args.end(), {"--command-port", std::to_string(commands)});
      properties->commandPort = commands;
    }
    sim = DvrSimulator::Start(program, 0, channels, args, kSimulatorStartMs, &error);
  }
  // A simulator that failed for another reason (a bad --dvrsim-arg, say) would fail again on
  // another port: its own message says why.
  if (!sim) {
    std::fprintf(stderr, "orvix: %s\n", error.c_str());
    return nullptr;
  }
  properties->rtspPort = sim->port();
  return sim;
}

int Host(const Plan& plan) {
  const HostOptions& o = plan.options;
  bool simulate = !o.dvrAddr && PageProperties(plan.page).Get("DvrAddr").empty();
  PageProperties properties = BuildProperties(o, plan.page, "127.0.0.1");
  std::unique_ptr<DvrSimulator> sim;
  if (simulate && !(sim = StartSimulator(plan, &properties))) return kExitFailed;

  if (!o.answers.empty()) InstallScriptedPrompts(plan.answers);
  platform::display::DisplayOptions display_options;
  display_options.backend = o.display;
  display_options.width = o.width;
  display_options.height = o.height;
  std::string error;
  auto display = platform::display::Display::Create(display_options, &error);
  // A person at the x11 display answers boxes in real dialogs; scripted runs keep the printed,
  // answered ones.
  if (display && o.answers.empty() && o.inputFile.empty() &&
      std::string(display->backend()) == "x11") {
    platform::ui::InstallDialogPrompts();
  }
  if (!display) {
    std::fprintf(stderr, "orvix: cannot open the display: %s\n", error.c_str());
    return kExitFailed;
  }
  properties.classId = plan.classId;
  RegisterBuiltInViewers();
  std::string viewer_name = "activex";
  // A page that names its control's class gets that control, and a page that embeds a plug-in
  // gets the plug-in, as a browser would load them.
  std::unique_ptr<HostedViewer> viewer;
  if (plan.pluginPage) {
    viewer = CreatePluginViewer(o.pageFile);
    viewer_name = "plug-in";
  } else {
    viewer = plan.classId.empty() ? CreateLatestViewer(&viewer_name) : CreateActiveXViewer();
  }
  HostWindow host(plan, *display);
  if (!viewer || !host.Create(o.width, o.height)) {
    std::fprintf(stderr, "orvix: cannot create the host window\n");
    return kExitFailed;
  }
  std::printf("orvix: %s viewer of %s on the %s display, %dx%d\n", viewer_name.c_str(),
              properties.Get("DvrAddr").c_str(), display->backend(), o.width, o.height);
  for (const auto& [cell, url] : properties.cellUrls)
    std::printf("orvix: cell %d shows %s\n", cell, UrlWithoutPassword(url).c_str());
  std::fflush(stdout);
  int status = kExitFailed;
  if (viewer->Create(host.hwnd(), properties)) {
    host.set_viewer(viewer.get());
    if (!o.captureDir.empty()) {
      bool kept = viewer->ChangeCaptureDir(o.captureDir);
      std::printf("orvix: capture directory %s%s\n", o.captureDir.c_str(),
                  kept ? "" : " (could not be kept)");
      std::fflush(stdout);
    }
    g_host_window = host.hwnd();
    status = host.Run();
    g_host_window = nullptr;
  } else {
    std::fprintf(stderr, "orvix: the viewer could not be created\n");
  }
  // As a browser leaves a page: the control's window goes first, then the control.
  viewer->Destroy();
  host.set_viewer(nullptr);
  viewer.reset();
  if (IsWindow(host.hwnd())) DestroyWindow(host.hwnd());
  if (sim) sim->Stop();
  return status;
}

}  // namespace

int RunHost(const std::vector<std::string>& args) {
  Plan plan;
  try {
    plan = ReadPlan(args);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orvix: %s (try --help)\n", e.what());
    return kExitUsage;
  }
  if (plan.options.help) {
    std::fputs(HostUsageText(), stdout);
    return kExitOk;
  }
  SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
  int status = Host(plan);
  std::fflush(stdout);
  return status;
}

}  // namespace orvix
