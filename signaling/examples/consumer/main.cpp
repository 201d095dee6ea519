// Builds a message, shows its debug text, and opens and closes an engine.

#include <signaling/sigbus.h>

#include <cstdio>
#include <vector>

namespace {
void on_event(vq_msg* msg) { vq_msg_release(msg); }
}  // namespace

int main() {
  vq_msg* msg = vq_msg_login("CLIENT_TO_CONTROL", "client-1", "secret", "terminal-1");
  std::vector<char> text(vq_msg_stringify(msg, nullptr, 0) + 2);
  vq_msg_stringify(msg, text.data(), static_cast<unsigned>(text.size()));
  std::fputs(text.data(), stdout);
  vq_msg_release(msg);
  int handle = vq_io_open(on_event);
  if (handle < 1) return 1;
  vq_io_close(handle);
  std::puts("consumer ok");
  return 0;
}
