#include "voice/g726.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <iterator>

namespace voice {
namespace {

constexpr int16_t kDecision16[] = {261};
constexpr int16_t kDqln16[] = {116, 365};
constexpr int16_t kW16[] = {-22, 439};
constexpr uint8_t kF16[] = {0, 7};

constexpr int16_t kDecision24[] = {8, 218, 331};
constexpr int16_t kDqln24[] = {-2048, 135, 273, 373};
constexpr int16_t kW24[] = {-4, 30, 137, 582};
constexpr uint8_t kF24[] = {0, 1, 2, 7};

constexpr int16_t kDecision32[] = {-124, 80, 178, 246, 300, 349, 400};
constexpr int16_t kDqln32[] = {-2048, 4, 135, 213, 273, 323, 373, 425};
constexpr int16_t kW32[] = {-12, 18, 41, 64, 112, 198, 355, 1122};
constexpr uint8_t kF32[] = {0, 0, 0, 1, 1, 1, 3, 7};

constexpr int16_t kDecision40[] = {-122, -16, 68,  139, 198, 250, 298, 339,
                                   378,  413, 445, 475, 502, 528, 553};
constexpr int16_t kDqln40[] = {-2048, -66, 28,  104, 169, 224, 274, 318,
                               358,   395, 429, 459, 488, 514, 539, 566};
constexpr int16_t kW40[] = {14,  14,  24,  39,  40,  41,  58,  100,
                            141, 179, 219, 280, 358, 440, 529, 696};
constexpr uint8_t kF40[] = {0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 2, 3, 4, 5, 6, 6};

constexpr G726Rate kRates[] = {
    {2, kDecision16, 1, kDqln16, kW16, kF16, 8},
    {3, kDecision24, 3, kDqln24, kW24, kF24, 8},
    {4, kDecision32, 7, kDqln32, kW32, kF32, 8},
    {5, kDecision40, 15, kDqln40, kW40, kF40, 9},
};

constexpr int16_t kFloatZero = 32;

// FLOATA/FLOATB: magnitude and sign into the 11-bit floating format.
int16_t ToFloat(int magnitude, int sign) {
  const int exponent = std::bit_width(static_cast<unsigned>(magnitude));
  const int mantissa = magnitude ? (magnitude << 6) >> exponent : 32;
  return static_cast<int16_t>((sign << 10) | (exponent << 6) | mantissa);
}

// FMULT: a 16-bit coefficient times a value in the floating format. Branch-free: exponent is
// at most 28, and below 27 the product never reaches 2^15, so the Recommendation's two shift
// cases and its 15-bit mask collapse into one shift and one mask.
int FloatMultiply(int coefficient, int value) {
  const int an_sign = coefficient < 0;
  const int an_mag = (((coefficient >> 2) ^ -an_sign) + an_sign) & 8191;
  const int an_exp = std::bit_width(static_cast<unsigned>(an_mag));
  const int an_mant = an_mag ? (an_mag << 6) >> an_exp : 32;
  const int exponent = an_exp + ((value >> 6) & 15);
  const int mantissa = (an_mant * (value & 63) + 48) >> 4;
  const int magnitude = ((mantissa << 10) >> (29 - exponent)) & 32767;
  const int sign = an_sign ^ ((value >> 10) & 1);
  return (magnitude ^ -sign) + sign;
}

// The signal estimate of one step and the scale factor it is quantised with.
struct Estimate {
  int se;   // full estimate (15 bits)
  int sez;  // estimate of the zero section alone
  int y;    // quantiser scale factor
};

Estimate Predict(const G726State& s) {
  int zeros = 0;
  for (int i = 0; i < 6; ++i) zeros += FloatMultiply(s.b[i], s.dq[i]);
  const int16_t sezi = static_cast<int16_t>(zeros);
  const int16_t sei =
      static_cast<int16_t>(sezi + FloatMultiply(s.a[1], s.sr[1]) + FloatMultiply(s.a[0], s.sr[0]));
  // MIX: y = al * yu + (1 - al) * yl, the product truncated toward zero.
  const int yl = s.yl >> 6;
  const int al = s.ap >= 256 ? 64 : s.ap >> 2;
  const int dif = s.yu - yl;
  const int prod = dif >= 0 ? (dif * al) >> 6 : -((-dif * al) >> 6);
  return {sei >> 1, sezi >> 1, yl + prod};
}

int CodeMagnitude(const G726Rate& rate, int code) {
  const int sign = code >> (rate.bits - 1);
  const int mask = (1 << (rate.bits - 1)) - 1;
  return sign ? (~code) & mask : code;
}

// LOG, SUBTB and QUAN.
uint8_t Quantize(const G726Rate& rate, int d, int y) {
  const int magnitude = std::abs(d);
  const int exponent = magnitude > 1 ? std::bit_width(static_cast<unsigned>(magnitude)) - 1 : 0;
  const int dl = (exponent << 7) + (((magnitude << 7) >> exponent) & 127);
  const int dln = dl - (y >> 2);
  // The decision levels rise, so the code magnitude is the number of levels at or below dln;
  // counting them all avoids a data-dependent loop exit.
  int i = 0;
  for (int k = 0; k < rate.decisions; ++k) i += dln >= rate.decision[k];
  const int all_ones = (1 << rate.bits) - 1;
  if (d < 0) return static_cast<uint8_t>(all_ones - i);
  // A positive zero is sent as the all-ones code where the code set has no zero of its own.
  if (i == 0 && rate.bits != 2) return static_cast<uint8_t>(all_ones);
  return static_cast<uint8_t>(i);
}

// ADDA and ANTILOG: the magnitude of the quantised difference.
int Reconstruct(const G726Rate& rate, int magnitude_index, int y) {
  const int dql = rate.dqln[magnitude_index] + (y >> 2);
  if (dql < 0) return 0;
  const int dex = (dql >> 7) & 15;
  const int dqt = 128 + (dql & 127);
  return (dqt << 7) >> (14 - dex);
}

bool Transition(const G726State& s, int dq_mag) {
  const int ylint = s.yl >> 15;
  const int ylfrac = (s.yl >> 10) & 31;
  const int thr = ylint > 9 ? 31 << 10 : (32 + ylfrac) << ylint;
  const int dqthr = (thr + (thr >> 1)) >> 1;
  return s.td && dq_mag > dqthr;
}

// UPA2, LIMC, UPA1, LIMD, UPB; returns the new a2 before any transition reset.
int UpdatePredictor(G726State& s, const G726Rate& rate, int pk0, bool sigpk, int dqs, int dq_mag) {
  const int pks1 = pk0 ^ s.pk[0];
  const int pks2 = pk0 ^ s.pk[1];
  const int a1 = s.a[0];
  const int a2 = s.a[1];
  const int fa1 = 4 * std::clamp(a1, -8191, 8191);
  const int uga2 = sigpk ? 0 : ((pks2 ? -16384 : 16384) + (pks1 ? fa1 : -fa1)) >> 7;
  const int a2p = std::clamp(a2 + uga2 - (a2 >> 7), -12288, 12288);
  const int uga1 = sigpk ? 0 : (pks1 ? -192 : 192);
  const int a1ul = 15360 - a2p;
  s.a[1] = static_cast<int16_t>(a2p);
  s.a[0] = static_cast<int16_t>(std::clamp(a1 + uga1 - (a1 >> 8), -a1ul, a1ul));
  for (int i = 0; i < 6; ++i) {
    const int ugb = dq_mag == 0 ? 0 : ((dqs ^ ((s.dq[i] >> 10) & 1)) ? -128 : 128);
    s.b[i] = static_cast<int16_t>(s.b[i] + ugb - (s.b[i] >> rate.b_leak));
  }
  return a2p;
}

void UpdateSpeedControl(G726State& s, const G726Rate& rate, int m, int y, bool tr, int tdp) {
  s.dms = static_cast<int16_t>(s.dms + (((rate.f[m] << 9) - s.dms) >> 5));
  s.dml = static_cast<int16_t>(s.dml + (((rate.f[m] << 11) - s.dml) >> 7));
  const bool steady = y >= 1536 && std::abs((s.dms << 2) - s.dml) < (s.dml >> 3) && !tdp;
  const int ax = steady ? 0 : 1;
  s.ap = tr ? 256 : static_cast<int16_t>(s.ap + (((ax << 9) - s.ap) >> 4));
}

// Everything after the code is known, shared by encoder and decoder; returns sr.
int Update(G726State& s, const G726Rate& rate, const Estimate& e, uint8_t code) {
  const int m = CodeMagnitude(rate, code);
  const int dqs = code >> (rate.bits - 1);
  const int dq_mag = Reconstruct(rate, m, e.y);
  const int dq = dqs ? -dq_mag : dq_mag;
  const int16_t sr = static_cast<int16_t>(e.se + dq);
  const int16_t dqsez = static_cast<int16_t>(dq + e.sez);
  const int pk0 = dqsez < 0;
  const bool tr = Transition(s, dq_mag);

  s.yu = static_cast<int16_t>(std::clamp(e.y + (((rate.w[m] << 5) - e.y) >> 5), 544, 5120));
  s.yl = s.yl + s.yu + ((-s.yl) >> 6);

  const int a2p = UpdatePredictor(s, rate, pk0, dqsez == 0, dqs, dq_mag);
  if (tr) {
    s.a[0] = s.a[1] = 0;
    std::fill(std::begin(s.b), std::end(s.b), int16_t{0});
  }
  std::copy_backward(s.dq, s.dq + 5, s.dq + 6);
  s.dq[0] = ToFloat(dq_mag, dqs);
  s.sr[1] = s.sr[0];
  s.sr[0] = sr < 0 ? ToFloat((-sr) & 32767, 1) : ToFloat(sr, 0);
  s.pk[1] = s.pk[0];
  s.pk[0] = static_cast<int16_t>(pk0);

  const int tdp = a2p < -11776;
  s.td = static_cast<int16_t>(tr ? 0 : tdp);
  UpdateSpeedControl(s, rate, m, e.y, tr, tdp);
  return sr;
}

}  // namespace

const G726Rate& G726RateForBits(int bits) { return kRates[bits - 2]; }

void G726Reset(G726State& state) {
  state = G726State{};
  state.yl = 34816;
  state.yu = 544;
  std::fill(std::begin(state.dq), std::end(state.dq), kFloatZero);
  std::fill(std::begin(state.sr), std::end(state.sr), kFloatZero);
}

void G726Sanitize(G726State& s) {
  s.yl = std::clamp(s.yl, 544 << 6, 5120 << 6);
  s.yu = std::clamp<int16_t>(s.yu, 544, 5120);
  s.ap = std::clamp<int16_t>(s.ap, 0, 1023);
  s.dms = std::clamp<int16_t>(s.dms, 0, 4095);
  s.dml = std::clamp<int16_t>(s.dml, 0, 16383);
  for (int16_t& v : s.dq) v &= 0x7FF;
  for (int16_t& v : s.sr) v &= 0x7FF;
  for (int16_t& v : s.pk) v &= 1;
  s.td &= 1;
}

namespace {

inline uint8_t EncodeOne(G726State& state, const G726Rate& rate, int16_t sample) {
  const Estimate e = Predict(state);
  const int d = (sample >> 2) - e.se;
  const uint8_t code = Quantize(rate, d, e.y);
  Update(state, rate, e, code);
  return code;
}

inline int16_t DecodeOne(G726State& state, const G726Rate& rate, uint8_t code) {
  code &= static_cast<uint8_t>((1 << rate.bits) - 1);
  const Estimate e = Predict(state);
  const int sr = Update(state, rate, e, code);
  return static_cast<int16_t>(std::clamp(sr * 4, -32768, 32767));
}

}  // namespace

void G726EncodeBlock(G726State& state, const G726Rate& rate, const int16_t* samples, int count,
                     uint8_t* codes) {
  G726State local = state;
  for (int i = 0; i < count; ++i) codes[i] = EncodeOne(local, rate, samples[i]);
  state = local;
}

void G726DecodeBlock(G726State& state, const G726Rate& rate, const uint8_t* codes, int count,
                     int16_t* samples) {
  G726State local = state;
  for (int i = 0; i < count; ++i) samples[i] = DecodeOne(local, rate, codes[i]);
  state = local;
}

}  // namespace voice
