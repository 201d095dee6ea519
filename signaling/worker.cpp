#include "signaling/worker.h"

#include "signaling/log.h"

namespace sigbus {

worker::worker(boost::asio::io_context& io, vq_event_fn on_event, bool keep_alive)
    : io_(io), on_event_(on_event), keepalive_(keep_alive), frame_(std::make_unique<wire_frame>()) {
  SIGBUS_LOG(1, "worker created keepalive %s", keepalive_ ? "enable" : "disable");
}

worker::~worker() = default;

void worker::post(trans_ptr msg) {
  {
    boost::lock_guard<boost::mutex> lock(queue_mutex_);
    queue_.push_back(std::move(msg));
  }
  queue_ready_.notify_one();
}

void worker::start() {
  thread_ = boost::thread([this] { run(); });
}

void worker::stop() {
  SIGBUS_LOG(1, "stop worker");
  {
    boost::lock_guard<boost::mutex> lock(queue_mutex_);
    running_ = false;
  }
  queue_ready_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void worker::release_contexts() { manager_.release(); }

bool worker::on_worker_thread() const { return boost::this_thread::get_id() == thread_.get_id(); }

void worker::run() {
  SIGBUS_LOG(1, "worker run");
  while (running_) {
    trans_ptr msg;
    {
      boost::unique_lock<boost::mutex> lock(queue_mutex_);
      queue_ready_.wait(lock, [this] { return !queue_.empty() || !running_; });
      if (!running_) break;
      msg = std::move(queue_.front());
      queue_.pop_front();
    }
    handle(*msg);
  }
  SIGBUS_LOG(1, "worker terminate");
}

void worker::handle(trans_msg& msg) {
  SIGBUS_LOG(0, "worker handle %s", trans_kind_name(msg.kind));
  int id = 0;
  switch (msg.kind) {
    case TRANS_ACCEPT:
      id = handle_accept(msg);
      break;
    case TRANS_CONNECT:
      id = handle_connect(msg);
      break;
    case TRANS_CONNECT_RESULT:
      id = handle_connect_result(msg);
      break;
    case TRANS_RECV_RESULT:
      id = handle_recv_result(msg);
      break;
    case TRANS_SEND_RESULT:
      id = handle_send_result(msg);
      break;
    case TRANS_SEND:
      id = handle_send(msg);
      break;
    case TRANS_CLOSE:
      id = handle_close(msg);
      break;
    case TRANS_TIMER:
      handle_timer();
      break;
    default:
      break;
  }
  if (id == 0) return;
  context* ctx = manager_.find(id);
  if (ctx != nullptr && ctx->state == kStateClosed) manager_.remove(id);
}

}  // namespace sigbus
