// The control module as the installer and a browser meet it: registered with regsvr32 and
// looked at with reg, created through the registry, asked for its safety, and unregistered.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/com/ocidl.h"
#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/process/child_process.h"
#include "platform/ui/ui.h"

namespace {

using Outcome = platform::process::ProgramRun;

Outcome RunProgram(const std::string& program, const std::vector<std::string>& args) {
  Outcome run = platform::process::ChildProcess::RunToEnd(program, args, 20000);
  if (run.status == -1) ADD_FAILURE() << run.output;
  return run;
}

constexpr char kClass[] = "{E30E886F-1176-4F02-A0E0-387B2027076F}";
constexpr CLSID kClassId = {
    0xE30E886F, 0x1176, 0x4F02, {0xA0, 0xE0, 0x38, 0x7B, 0x20, 0x27, 0x07, 0x6F}};
constexpr CLSID kPageId = {
    0x89BC02E5, 0xACE7, 0x4367, {0x82, 0xEF, 0xAD, 0x6B, 0xAC, 0xB4, 0x7D, 0xB8}};
const IID kUnknownInterface = {
    0x01234567, 0x89AB, 0xCDEF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};

int ThreadCount() {
  int n = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    (void)entry;
    ++n;
  }
  return n;
}

// A finished thread leaves /proc/self/task a moment after it is joined.
int ThreadCountSettledAt(int expected) {
  int n = ThreadCount();
  for (int i = 0; i < 2500 && n != expected; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    n = ThreadCount();
  }
  return n;
}

bool Mapped(const char* file) {
  std::ifstream maps("/proc/self/maps");
  std::stringstream text;
  text << maps.rdbuf();
  return text.str().find(std::filesystem::canonical(file).string()) != std::string::npos;
}

void Drain() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// A page of one channel that nothing answers: the control builds its grid and panel and
// starts no stream.
class QuietPage : public IPropertyBag {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    const std::u16string key(name);
    const char16_t* text = key == u"DvrAddr" ? u"127.0.0.2" : key == u"DvrChnNum" ? u"1" : nullptr;
    if (!text) return E_INVALIDARG;
    VariantClear(value);
    value->vt = VT_BSTR;
    value->bstrVal = SysAllocString(text);
    return S_OK;
  }
  HRESULT Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
};

class ActiveXTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvix-activex-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    setenv("ORVIX_REGISTRY_DIR", folder_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("ORVIX_REGISTRY_DIR");
    std::filesystem::remove_all(folder_);
  }
  std::string Hive() {
    std::ifstream in(folder_ + "/machine.reg", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static bool Has(const Outcome& run, const std::string& text) {
    return run.output.find(text) != std::string::npos;
  }
  std::string folder_;
};

TEST_F(ActiveXTest, RegistrationWritesTheClassPageAndLibraryOnceAndTakesThemAway) {
  ASSERT_EQ(RunProgram(REGSVR32_BINARY, {"/s", ORVIX_OCX}).status, 0);
  const std::string file = std::filesystem::canonical(ORVIX_OCX).string();
  Outcome control = RunProgram(REG_BINARY, {"query", std::string("HKCR\\CLSID\\") + kClass, "/s"});
  ASSERT_EQ(control.status, 0);
  EXPECT_TRUE(Has(control, "    (Default)    REG_SZ    OrviX Control\n")) << control.output;
  EXPECT_TRUE(Has(control, "InprocServer32\n    (Default)    REG_SZ    " + file + "\n"));
  EXPECT_TRUE(Has(control, "ThreadingModel    REG_SZ    Apartment"));
  EXPECT_TRUE(Has(control, "ProgID\n    (Default)    REG_SZ    ORVIX.LocOrviXCtrl.1\n"));
  EXPECT_TRUE(Has(control, "MiscStatus\\1\n    (Default)    REG_SZ    131473\n"));  // 0x20191
  EXPECT_TRUE(Has(control,
                  "TypeLib\n    (Default)    REG_SZ    "
                  "{45714FD7-B8CA-491C-8C4E-FA7B09AA01E8}\n"));
  EXPECT_TRUE(Has(control, "ToolboxBitmap32\n    (Default)    REG_SZ    " + file + ", 1\n"));
  Outcome page = RunProgram(REG_BINARY, {"query", "HKCR\\ORVI.OrviPropPage.1\\CLSID"});
  EXPECT_TRUE(Has(page, "{89BC02E5-ACE7-4367-82EF-AD6BACB47DB8}")) << page.output;
  Outcome lib = RunProgram(REG_BINARY,
                           {"query", "HKCR\\TypeLib\\{45714FD7-B8CA-491C-8C4E-FA7B09AA01E8}\\1.0"});
  EXPECT_TRUE(Has(lib, "OrviX ActiveX Control module")) << lib.output;
  const std::string once = Hive();
  ASSERT_EQ(RunProgram(REGSVR32_BINARY, {"/s", ORVIX_OCX}).status, 0);
  EXPECT_EQ(Hive(), once);

  ASSERT_EQ(RunProgram(REGSVR32_BINARY, {"/u", "/s", ORVIX_OCX}).status, 0);
  EXPECT_EQ(RunProgram(REG_BINARY, {"query", std::string("HKCR\\CLSID\\") + kClass}).status, 1);
  EXPECT_EQ(RunProgram(REG_BINARY, {"query", "HKCR\\ORVIX.LocOrviXCtrl.1"}).status, 1);
  EXPECT_EQ(RunProgram(REG_BINARY, {"query", "HKCR\\TypeLib"}).output,
            "HKEY_CLASSES_ROOT\\TypeLib\n\n");
  // Unregistering again finds no type library: the first of the two error results.
  Outcome again = RunProgram(REGSVR32_BINARY, {"/u", ORVIX_OCX});
  EXPECT_EQ(again.status, 5);
  EXPECT_TRUE(Has(again, "failed with error code 0x80040200")) << again.output;
}

TEST_F(ActiveXTest, TheControlIsSafeForTheInterfacesItHasOnly) {
  ASSERT_EQ(RunProgram(REGSVR32_BINARY, {"/s", ORVIX_OCX}).status, 0);
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  IUnknown* control = nullptr;
  ASSERT_EQ(CoCreateInstance(kClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&control)),
            S_OK);
  IObjectSafety* safety = nullptr;
  ASSERT_EQ(control->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(&safety)), S_OK);
  DWORD supported = 0;
  DWORD enabled = 0;
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(kUnknownInterface, &supported, &enabled),
            E_NOINTERFACE);
  EXPECT_EQ(supported, 3u);
  EXPECT_EQ(enabled, 3u);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(kUnknownInterface, 3, 3), E_NOINTERFACE);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IPersistPropertyBag, &supported, &enabled), S_OK);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 2, 2), S_OK);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 3, 3), S_OK);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 4, 4), E_FAIL);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 3, 1), E_FAIL);

  IOleObject* object = nullptr;
  ASSERT_EQ(safety->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object)), S_OK);
  safety->Release();
  DWORD status = 0;
  EXPECT_EQ(object->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
  EXPECT_EQ(status, 0x20191u);
  ISpecifyPropertyPages* pages = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&pages)),
            S_OK);
  CAUUID list{0, nullptr};
  ASSERT_EQ(pages->GetPages(&list), S_OK);
  ASSERT_EQ(list.cElems, 1u);
  EXPECT_EQ(list.pElems[0], kPageId);
  CoTaskMemFree(list.pElems);
  pages->Release();
  object->Release();
  control->Release();
  CoUninitialize();
}

LRESULT HostProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(window, message, wparam, lparam);
}

// Two pages' controls in one process: the renderer and its capture thread come with the first
// and go with the last; then the module unloads, and loads again for the next page.
TEST_F(ActiveXTest, ControlsShareTheRendererAndTheModuleUnloadsAndReloads) {
  ASSERT_EQ(RunProgram(REGSVR32_BINARY, {"/s", ORVIX_OCX}).status, 0);
  std::string error;
  auto display = platform::display::Display::CreateHeadless(874, 576, &error);
  ASSERT_NE(display, nullptr) << error;
  platform::gdi::InstallDcProvider();
  WNDCLASSA wc{};
  wc.lpfnWndProc = HostProc;
  wc.lpszClassName = "ActiveXTestHost";
  ASSERT_NE(RegisterClassA(&wc), 0);
  HWND host = CreateWindowExA(0, "ActiveXTestHost", "", WS_POPUP | WS_VISIBLE, 0, 0, 874, 576,
                              nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  const int threads = ThreadCount();
  const auto place = [&](RECT rect) {
    IOleObject* object = nullptr;
    EXPECT_EQ(CoCreateInstance(kClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                               reinterpret_cast<void**>(&object)),
              S_OK);
    if (!object) return object;
    IPersistPropertyBag* persist = nullptr;
    object->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&persist));
    QuietPage page;
    EXPECT_EQ(persist->Load(&page, nullptr), S_OK);
    persist->Release();
    EXPECT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, host, &rect), S_OK);
    Drain();
    return object;
  };
  const auto remove = [&](IOleObject* object) {
    object->Close(OLECLOSE_NOSAVE);
    object->Release();
    Drain();
  };

  for (int page = 0; page < 2; ++page) {
    IOleObject* first = place(RECT{0, 0, 437, 576});
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(Mapped(ORVIX_OCX));
    const int with_one = ThreadCount();
    EXPECT_GT(with_one, threads);  // the capture thread and the panel's receive thread
    IOleObject* second = place(RECT{437, 0, 874, 576});
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetWindow(host, GW_CHILD) != nullptr, true);
    remove(first);
    EXPECT_GE(ThreadCount(), with_one - 1);  // the renderer stays for the second
    CoFreeUnusedLibraries();
    EXPECT_TRUE(Mapped(ORVIX_OCX));  // a control lives
    remove(second);
    EXPECT_EQ(ThreadCountSettledAt(threads), threads) << "page " << page;
    EXPECT_EQ(GetWindow(host, GW_CHILD), nullptr);
    CoFreeUnusedLibraries();
    EXPECT_FALSE(Mapped(ORVIX_OCX)) << "page " << page;
  }
  CoUninitialize();
  DestroyWindow(host);
  UnregisterClassA("ActiveXTestHost", nullptr);
}

}  // namespace
