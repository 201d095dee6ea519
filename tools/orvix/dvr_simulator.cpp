#include "tools/orvix/dvr_simulator.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/kernel/module.h"
#include "platform/net/net.h"

namespace orvix {
namespace {

namespace fs = std::filesystem;

constexpr char kReady[] = "dvrsim ready on port ";

bool IsProgram(const fs::path& p) {
  std::error_code ec;
  auto status = fs::status(p, ec);
  return !ec && fs::is_regular_file(status) &&
         (status.permissions() & fs::perms::owner_exec) != fs::perms::none;
}

}  // namespace

std::string FindDvrsim(const std::string& explicit_path) {
  if (!explicit_path.empty()) return explicit_path;
  if (const char* env = std::getenv("ORVIX_DVRSIM"); env != nullptr && *env != '\0') return env;
  char self[MAX_PATH * 4];
  if (GetModuleFileNameA(nullptr, self, sizeof self) == 0) return "";
  fs::path dir = fs::path(self).parent_path();
  for (const fs::path& candidate : {dir / "dvrsim", dir / ".." / "dvrsim" / "dvrsim",
                                    dir / ".." / "tools" / "dvrsim" / "dvrsim"}) {
    if (IsProgram(candidate)) return candidate.lexically_normal().string();
  }
  return "";
}

bool CanBindLoopbackPort(int port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  int on = 1;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = inet_addr("127.0.0.1");
  bool ok = bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  closesocket(s);
  return ok;
}

int FreeLoopbackUdpPort() {
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = inet_addr("127.0.0.1");
  int length = sizeof address;
  int port = 0;
  if (bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  closesocket(s);
  return port;
}

int ReadyPort(const std::string& line) {
  if (line.rfind(kReady, 0) != 0) return -1;
  std::string rest = line.substr(sizeof kReady - 1);
  char* end = nullptr;
  long port = std::strtol(rest.c_str(), &end, 10);
  if (rest.empty() || *end != '\0' || port < 1 || port > 65535) return -1;
  return static_cast<int>(port);
}

std::unique_ptr<DvrSimulator> DvrSimulator::Start(const std::string& program, int port,
                                                  int channels,
                                                  const std::vector<std::string>& extra_args,
                                                  int timeout_ms, std::string* error) {
  std::vector<std::string> args = {"--port",    std::to_string(port), "--bind",
                                   "127.0.0.1", "--channels",         std::to_string(channels)};
  args.insert(args.end(), extra_args.begin(), extra_args.end());
  auto child = platform::process::ChildProcess::Spawn(program, args, error);
  if (!child) return nullptr;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < deadline) {
    std::string line;
    if (child->ReadLine(&line, 100)) {
      std::printf("dvrsim: %s\n", line.c_str());
      std::fflush(stdout);
      int ready = ReadyPort(line);
      if (ready > 0) {
        child->ForwardLines([](const std::string& l) {
          std::printf("dvrsim: %s\n", l.c_str());
          std::fflush(stdout);
        });
        return std::unique_ptr<DvrSimulator>(new DvrSimulator(std::move(child), ready));
      }
    } else if (child->OutputEnded()) {
      int status = child->Wait(2000);
      *error = "dvrsim ended before it was ready (exit status " + std::to_string(status) + ")";
      return nullptr;
    }
  }
  child->Terminate();
  *error = "dvrsim was not ready within " + std::to_string(timeout_ms / 1000) + " seconds";
  return nullptr;
}

DvrSimulator::~DvrSimulator() { Stop(); }

int DvrSimulator::Stop() { return child_ ? child_->Terminate() : -1; }

}  // namespace orvix
