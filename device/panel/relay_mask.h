#pragma once
// The relay buttons' rule. Each button sets the mask to the complement of its own output's
// bit alone: its output toggles and the other output is switched off.

namespace device::panel {

constexpr int kRelayBit1 = 1;  // output 1
constexpr int kRelayBit2 = 2;  // output 2

// The mask after pressing the button of `bit` (kRelayBit1 or kRelayBit2) with `mask` set.
constexpr int RelayMaskAfterPress(int mask, int bit) { return ~mask & bit; }

static_assert(RelayMaskAfterPress(2, kRelayBit1) == 1);
static_assert(RelayMaskAfterPress(1, kRelayBit1) == 0);
static_assert(RelayMaskAfterPress(1, kRelayBit2) == 2);
static_assert(RelayMaskAfterPress(3, kRelayBit2) == 0);

}  // namespace device::panel
