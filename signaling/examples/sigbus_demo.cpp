// sigbus_demo: a control server and a client that log in and keep alive over TCP.
//
//   sigbus_demo [--mode both|server|client] [--host H] [--port N] [--seconds S]
//
// "server" listens and answers LOGIN with LOGIN_RESULT; "client" connects, logs in and
// then only keeps the connection alive (the library sends KEEPALIVE every 10 to 12 s and
// the server answers); "both" runs the two in one process over loopback. Every event is
// printed as it arrives. Lines of the library's log go to "test_timer.log".

#include <signaling/sigbus.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Options {
  std::string mode = "both";
  std::string host = "127.0.0.1";
  int port = 7100;
  int seconds = 30;
};

int g_server = 0;
int g_client = 0;

void print_event(const char* side, vq_msg* msg) {
  std::vector<char> text(vq_msg_stringify(msg, nullptr, 0) + 2);
  vq_msg_stringify(msg, text.data(), static_cast<unsigned>(text.size()));
  std::printf("[%s] event\n%s\n", side, text.data());
  std::fflush(stdout);
}

void on_server_event(vq_msg* msg) {
  print_event("server", msg);
  int connection = vq_msg_get_header_int(msg, "connection");
  if (std::strcmp(vq_msg_get_header_string(msg, "event_name"), "frame") == 0 &&
      std::strcmp(vq_msg_get_frame_type(msg), "LOGIN") == 0) {
    vq_send(g_server, connection, vq_msg_login_ack("CONTROL_TO_CLIENT", 0));
  }
  vq_msg_release(msg);
}

void on_client_event(vq_msg* msg) {
  print_event("client", msg);
  int connection = vq_msg_get_header_int(msg, "connection");
  if (std::strcmp(vq_msg_get_header_string(msg, "event_name"), "connect") == 0 &&
      vq_msg_get_header_int(msg, "result") == 0) {
    vq_send(g_client, connection,
            vq_msg_login("CLIENT_TO_CONTROL", "demo-client", "demo-password", "terminal-1"));
  }
  vq_msg_release(msg);
}

void usage(std::FILE* out) {
  std::fputs(
      "usage: sigbus_demo [--mode both|server|client] [--host H] [--port N] [--seconds S]\n"
      "  A control server and a client that log in and keep alive over TCP.\n"
      "  --mode     both (default), server or client\n"
      "  --host     server address for the client (default 127.0.0.1)\n"
      "  --port     TCP port (default 7100)\n"
      "  --seconds  how long to run (default 30); keep-alive runs underneath: the client\n"
      "             sends KEEPALIVE every 10 to 12 s, see \"test_timer.log\"\n",
      out);
}

bool parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      usage(stdout);
      std::exit(0);
    }
    if (i + 1 >= argc) return false;
    std::string value = argv[++i];
    if (arg == "--mode") {
      options.mode = value;
    } else if (arg == "--host") {
      options.host = value;
    } else if (arg == "--port") {
      options.port = std::atoi(value.c_str());
    } else if (arg == "--seconds") {
      options.seconds = std::atoi(value.c_str());
    } else {
      return false;
    }
  }
  return options.mode == "both" || options.mode == "server" || options.mode == "client";
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, options) || options.port <= 0 || options.port > 65535) {
    usage(stderr);
    return 2;
  }
  if (options.mode != "client") {
    g_server = vq_io_open(on_server_event);
    try {
      vq_listen(g_server, options.port, "control");
    } catch (const std::exception& error) {
      std::fprintf(stderr, "sigbus_demo: cannot listen on port %d: %s\n", options.port,
                   error.what());
      vq_io_close(g_server);
      return 1;
    }
    std::printf("server listening on port %d\n", options.port);
  }
  if (options.mode != "server") {
    g_client = vq_io_open(on_client_event);
    vq_connect(g_client, options.host.c_str(), options.port, "client");
    std::printf("client connecting to %s:%d\n", options.host.c_str(), options.port);
  }
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::seconds(options.seconds));
  if (g_client) vq_io_close(g_client);
  if (g_server) vq_io_close(g_server);
  std::puts("done");
  return 0;
}
