#pragma once

// Small helpers shared by the message builders.

#include <cstring>
#include <initializer_list>

#include "signaling/vq_msg.h"

namespace sigbus {

inline constexpr const char kClientToControl[] = "CLIENT_TO_CONTROL";
inline constexpr const char kControlToClient[] = "CONTROL_TO_CLIENT";
inline constexpr const char kTerminalToControl[] = "TERMINAL_TO_CONTROL";
inline constexpr const char kControlToTerminal[] = "CONTROL_TO_TERMINAL";
inline constexpr const char kMediaToControl[] = "MEDIA_TO_CONTROL";
inline constexpr const char kControlToMedia[] = "CONTROL_TO_MEDIA";
inline constexpr const char kControlToLoginServer[] = "CONTROL_TO_LOGINSERVER";
inline constexpr const char kClientToLoginServer[] = "CLIENT_TO_LOGINSERVER";
inline constexpr const char kLoginServerToClient[] = "LOGINSERVER_TO_CLIENT";

// Directions are compared by text, never by pointer.
inline bool dir_is(const char* dir, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (std::strcmp(dir, name) == 0) return true;
  }
  return false;
}

inline void put(vq_msg* msg, const char* key, const char* value) {
  vq_msg_set_frame_string(msg, key, value);
}

inline void put(vq_msg* msg, const char* key, int value) { vq_msg_set_frame_int(msg, key, value); }

// Unsigned values keep their bits: above 2147483647 they read as negative numbers.
inline void put(vq_msg* msg, const char* key, unsigned int value) {
  vq_msg_set_frame_int(msg, key, static_cast<int>(value));
}

}  // namespace sigbus
