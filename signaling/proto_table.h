#pragma once

// The protocol numbers of the (direction, message type) pairs, and direction reversal.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sigbus {

struct proto_entry {
  std::uint16_t proto_no;
  std::string_view dir;
  std::string_view type;
};

inline constexpr std::size_t kProtoTableSize = 74;
extern const proto_entry proto_table[kProtoTableSize];

// The number of the first entry matching both texts exactly; 0xFFFF when none does.
std::uint16_t lookup_proto_no(std::string_view dir, std::string_view type);

// "A_TO_B" becomes "B_TO_A"; a direction without "_TO_" becomes "".
std::string reverse_direction(std::string_view dir);

}  // namespace sigbus
