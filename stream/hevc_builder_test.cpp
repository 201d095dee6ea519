#include "stream/hevc_builder.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// One step: a payload, whether packets were lost before it, and the units it completes
// (empty: none).
struct Step {
  Bytes payload;
  bool continuous;
  Bytes delivered;
};

struct Case {
  const char* name;
  std::vector<Step> steps;
};

const Bytes kStart = {0, 0, 0, 1};

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Payload header of type `type`, layer 0, temporal id 1.
Bytes Header(uint8_t type) { return {static_cast<uint8_t>(type << 1), 0x01}; }

TEST(HevcBuilder, PacketsToUnits) {
  const Bytes idr = Cat({Header(19), {0xAF, 0x01, 0x02}});
  const Bytes vps = Cat({Header(32), {0x0C, 0x01}});
  const Bytes sps = Cat({Header(33), {0x01}});
  // A fragment of an IDR slice: FU header with S or E and type 19.
  auto fu = [](uint8_t se, Bytes data) { return Cat({Header(49), {uint8_t(se | 19)}, data}); };
  const std::vector<Case> cases = {
      {"single unit", {{idr, true, Cat({kStart, idr})}}},
      {"aggregation of two, each behind its start code",
       {{Cat({Header(48), {0, 4}, vps, {0, 3}, sps}), true, Cat({kStart, vps, kStart, sps})}}},
      {"fragments rebuilt with the type put back",
       {{fu(0x80, {1, 2}), true, {}},
        {fu(0x00, {3}), true, {}},
        {fu(0x40, {4, 5}), true, Cat({kStart, Header(19), {1, 2, 3, 4, 5}})}}},
      {"a lost middle fragment discards the unit; the next one comes through",
       {{fu(0x80, {1}), true, {}}, {fu(0x40, {3}), false, {}}, {idr, true, Cat({kStart, idr})}}},
      {"a fragment after a delivered unit extends nothing",
       {{idr, true, Cat({kStart, idr})}, {fu(0x00, {9}), true, {}}, {fu(0x40, {9}), true, {}}}},
      {"an end fragment without its start", {{fu(0x40, {7}), true, {}}}},
      {"a unit between fragments ends the fragmented one",
       {{fu(0x80, {1}), true, {}}, {vps, true, Cat({kStart, vps})}, {fu(0x40, {2}), true, {}}}},
      {"an aggregation whose size runs past the packet gives nothing",
       {{Cat({Header(48), {0, 4}, vps, {0, 9}, sps}), true, {}}}},
      {"an aggregated unit shorter than its header gives nothing",
       {{Cat({Header(48), {0, 1}, {0x40}}), true, {}}}},
      {"a size cut in half gives nothing", {{Cat({Header(48), {0, 4}, vps, {0}}), true, {}}}},
      {"the forbidden bit drops the packet", {{Cat({{0x80 | (19 << 1), 1}, {5}}), true, {}}}},
      {"a fragmented aggregation is no unit",
       {{Cat({Header(49), {0x80 | 48}, {1}}), true, {}},
        {Cat({Header(49), {0x40 | 48}}), true, {}}}},
      {"PACI and reserved types are dropped",
       {{Cat({Header(50), {1, 2, 3}}), true, {}}, {Cat({Header(60), {1}}), true, {}}}},
      {"a payload of its header alone carries nothing", {{Header(19), true, {}}}},
  };
  for (const Case& c : cases) {
    Bytes unit(64);
    int position = 0;
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& step = c.steps[i];
      int length = BuildHevcNal(step.payload, step.continuous, unit, &position);
      Bytes got(unit.begin(), unit.begin() + length);
      EXPECT_EQ(got, step.delivered) << c.name << ", step " << i;
      EXPECT_GE(position, 0);
    }
  }
}

TEST(HevcBuilder, UnitsThatDoNotFitAreDropped) {
  Bytes unit(16);
  int position = 0;
  Bytes big = Cat({Header(1), Bytes(13, 7)});  // 15 bytes + start code
  EXPECT_EQ(BuildHevcNal(big, true, unit, &position), 0);
  Bytes fits = Cat({Header(49), {0x80 | 1}, Bytes(8, 1)});  // 4 + 2 + 8 bytes
  EXPECT_EQ(BuildHevcNal(fits, true, unit, &position), 0);
  EXPECT_EQ(position, 14);
  Bytes overflow = Cat({Header(49), {0x40 | 1}, Bytes(3, 2)});
  EXPECT_EQ(BuildHevcNal(overflow, true, unit, &position), 0);
  EXPECT_EQ(position, 0);
  Bytes aggregate = Cat({Header(48),
                         {0, 6},
                         Header(1),
                         Bytes(4, 3),
                         {0, 6},
                         Header(1),
                         Bytes(4, 3)});  // two units of 10 bytes with their start codes
  EXPECT_EQ(BuildHevcNal(aggregate, true, unit, &position), 0);
}

}  // namespace
