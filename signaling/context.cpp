#include "signaling/context.h"

#include "signaling/log.h"

namespace sigbus {

context::context(std::shared_ptr<tcp_connection> conn, bool keep_alive, bool client,
                 std::string arg)
    : keepalive(keep_alive),
      client_role(client),
      connection(std::move(conn)),
      user_arg(std::move(arg)),
      assembler(std::make_unique<frame_assembler>()) {
  SIGBUS_LOG(0, "context %d create, keepalive %s, %s", connection->id(),
             keepalive ? "enable" : "disable", client_role ? "client" : "server");
}

connection_manager::~connection_manager() { contexts_.clear(); }

void connection_manager::add(int id, std::unique_ptr<context> ctx) {
  SIGBUS_LOG(0, "add context %d", id);
  contexts_[id] = std::move(ctx);
}

context* connection_manager::find(int id) {
  auto it = contexts_.find(id);
  return it == contexts_.end() ? nullptr : it->second.get();
}

void connection_manager::remove(int id) {
  SIGBUS_LOG(0, "remove context %d", id);
  contexts_.erase(id);
}

std::vector<int> connection_manager::ids() const {
  std::vector<int> ids;
  ids.reserve(contexts_.size());
  for (const auto& entry : contexts_) ids.push_back(entry.first);
  return ids;
}

void connection_manager::release() {
  SIGBUS_LOG(1, "connection_manager release");
  contexts_.clear();
}

}  // namespace sigbus
