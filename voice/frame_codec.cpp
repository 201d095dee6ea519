#include "voice/frame_codec.h"

#include "voice/code_packing.h"
#include "voice/g711.h"
#include "voice/g726.h"
#include "voice/ima_adpcm.h"
#include "voice/state_records.h"

namespace voice {
namespace {

constexpr int kMaxCodes = HI_VOICE_MAX_DECODE_SAMPLES;

int16_t ReadInt16(const uint8_t* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }

void WriteInt16(uint8_t* p, int value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}

// --- G.711 ---------------------------------------------------------------------------------

template <uint8_t (*Compress)(int16_t)>
void EncodeG711(const int16_t* samples, int pairs, bool high_first, uint8_t* payload) {
  const int first = high_first ? 1 : 0;
  for (int i = 0; i < pairs; ++i) {
    payload[2 * i + first] = Compress(samples[2 * i]);
    payload[2 * i + 1 - first] = Compress(samples[2 * i + 1]);
  }
}

template <int16_t (*Expand)(uint8_t)>
void DecodeG711(const uint8_t* payload, int pairs, bool high_first, int16_t* samples) {
  const int first = high_first ? 1 : 0;
  for (int i = 0; i < pairs; ++i) {
    samples[2 * i] = Expand(payload[2 * i + first]);
    samples[2 * i + 1] = Expand(payload[2 * i + 1 - first]);
  }
}

int EncodeG711Payload(const TypeInfo& info, const int16_t* samples, int count, uint8_t* out) {
  const int pairs = count / 2;  // an odd last sample has no partner and is left out
  if (info.alaw) {
    EncodeG711<LinearToAlaw>(samples, pairs, info.high_first, out);
  } else {
    EncodeG711<LinearToUlaw>(samples, pairs, info.high_first, out);
  }
  return pairs;
}

int DecodeG711Payload(const TypeInfo& info, const uint8_t* payload, int words, int16_t* out) {
  if (info.alaw) {
    DecodeG711<AlawToLinear>(payload, words, info.high_first, out);
  } else {
    DecodeG711<UlawToLinear>(payload, words, info.high_first, out);
  }
  return 2 * words;
}

// --- IMA / DVI4 ----------------------------------------------------------------------------

ImaChannel LoadIma(const void* block) {
  const ImaRecord record = LoadRecord<ImaRecord>(block);
  return {record.predictor, ClampImaIndex(record.index)};
}

void StoreIma(void* block, const ImaChannel& channel) {
  ImaRecord record = LoadRecord<ImaRecord>(block);
  record.predictor = static_cast<int16_t>(channel.predictor);
  record.index = static_cast<uint8_t>(channel.index);
  StoreRecord(block, record);
}

// Codes `count` samples (a multiple of 2), two per byte; the first in the high nibble unless
// `low_first`.
void EncodeNibbles(ImaChannel& channel, const int16_t* samples, int count, bool low_first,
                   uint8_t* out) {
  const int first_shift = low_first ? 0 : 4;
  for (int i = 0; i < count; i += 2) {
    const uint8_t a = ImaEncode(channel, samples[i]);
    const uint8_t b = ImaEncode(channel, samples[i + 1]);
    out[i / 2] = static_cast<uint8_t>((a << first_shift) | (b << (4 - first_shift)));
  }
}

void DecodeNibbles(ImaChannel& channel, const uint8_t* in, int bytes, bool low_first,
                   int16_t* out) {
  const int first_shift = low_first ? 0 : 4;
  for (int i = 0; i < bytes; ++i) {
    out[2 * i] = ImaDecode(channel, static_cast<uint8_t>(in[i] >> first_shift));
    out[2 * i + 1] = ImaDecode(channel, static_cast<uint8_t>(in[i] >> (4 - first_shift)));
  }
}

void WriteImaHeader(uint8_t* out, int sample, int index) {
  WriteInt16(out, sample);
  out[2] = static_cast<uint8_t>(index);
  out[3] = 0;
}

// Only samples that fill whole payload words are coded, so that the state carried to the next
// frame is the one its decoder will have reached.
int EncodeImaPayload(void* block, const TypeInfo& info, const int16_t* samples, int count,
                     uint8_t* out) {
  ImaChannel channel = LoadIma(block);
  int words = 0;
  if (info.family == Family::kIma) {
    channel.predictor = samples[0];
    WriteImaHeader(out, samples[0], channel.index);
    words = (count - 1) / 4;
    EncodeNibbles(channel, samples + 1, 4 * words, true, out + 4);
    words += 2;
  } else if (info.family == Family::kDvi4) {
    WriteImaHeader(out, channel.predictor, channel.index);
    words = count / 4;
    EncodeNibbles(channel, samples, 4 * words, false, out + 4);
    words += 2;
  } else {
    words = count / 4;
    EncodeNibbles(channel, samples, 4 * words, false, out);
  }
  StoreIma(block, channel);
  return words;
}

int DecodeImaPayload(void* block, const TypeInfo& info, const uint8_t* payload, int words,
                     int16_t* out) {
  ImaChannel channel;
  int produced = 0;
  if (info.family == Family::kDvi4Headerless) {
    channel = LoadIma(block);
  } else {
    channel = {ReadInt16(payload), ClampImaIndex(payload[2])};
    payload += 4;
    words -= 2;
    if (info.family == Family::kIma) out[produced++] = static_cast<int16_t>(channel.predictor);
  }
  DecodeNibbles(channel, payload, 2 * words, info.family == Family::kIma, out + produced);
  StoreIma(block, channel);
  return produced + 4 * words;
}

// --- G.726 ---------------------------------------------------------------------------------

template <typename Record>
int EncodeG726Payload(void* block, const TypeInfo& info, const int16_t* samples, int count,
                      uint8_t* out) {
  Record record = LoadRecord<Record>(block);
  G726Sanitize(record.g726);
  const G726Rate& rate = G726RateForBits(info.bits);
  const int words = count * info.bits / 16;
  const int coded = words * 16 / info.bits;  // whole codes that fit the payload words
  uint8_t codes[kMaxCodes];
  G726EncodeBlock(record.g726, rate, samples, coded, codes);
  if (info.family == Family::kG726Word) {
    PackWordPairs(codes, words, out);
  } else if (info.high_first) {
    PackMsbFirst(codes, coded, info.bits, out, 2 * words);
  } else {
    PackLsbFirst(codes, coded, info.bits, out, 2 * words);
  }
  StoreRecord(block, record);
  return words;
}

template <typename Record>
int DecodeG726Payload(void* block, const TypeInfo& info, const uint8_t* payload, int words,
                      int16_t* out) {
  Record record = LoadRecord<Record>(block);
  G726Sanitize(record.g726);
  const G726Rate& rate = G726RateForBits(info.bits);
  const int count = words * 16 / info.bits;
  uint8_t codes[kMaxCodes];
  if (info.family == Family::kG726Word) {
    UnpackWordPairs(payload, words, codes);
  } else if (info.high_first) {
    UnpackMsbFirst(payload, count, info.bits, codes);
  } else {
    UnpackLsbFirst(payload, count, info.bits, codes);
  }
  G726DecodeBlock(record.g726, rate, codes, count, out);
  StoreRecord(block, record);
  return count;
}

}  // namespace

void ResetState(void* block, int16_t type, const TypeInfo& info) {
  switch (info.family) {
    case Family::kG711:
      StoreRecord(block, type);
      return;
    case Family::kDvi4:
    case Family::kIma:
    case Family::kDvi4Headerless:
      StoreRecord(block, ImaRecord{type, 0, 0, 0});
      return;
    case Family::kG726: {
      G726Record record{type, 2, static_cast<int16_t>(info.bits), 0, {}};
      G726Reset(record.g726);
      StoreRecord(block, record);
      return;
    }
    case Family::kG726Word: {
      G726WordRecord record{type, 0, {}};
      G726Reset(record.g726);
      StoreRecord(block, record);
      return;
    }
  }
}

int EncodePayload(void* block, const TypeInfo& info, const int16_t* samples, int count,
                  uint8_t* payload) {
  switch (info.family) {
    case Family::kG711:
      return EncodeG711Payload(info, samples, count, payload);
    case Family::kG726:
      return EncodeG726Payload<G726Record>(block, info, samples, count, payload);
    case Family::kG726Word:
      return EncodeG726Payload<G726WordRecord>(block, info, samples, count, payload);
    default:
      return EncodeImaPayload(block, info, samples, count, payload);
  }
}

int DecodePayload(void* block, const TypeInfo& info, const uint8_t* payload, int words,
                  int16_t* samples) {
  switch (info.family) {
    case Family::kG711:
      return DecodeG711Payload(info, payload, words, samples);
    case Family::kG726:
      return DecodeG726Payload<G726Record>(block, info, payload, words, samples);
    case Family::kG726Word:
      return DecodeG726Payload<G726WordRecord>(block, info, payload, words, samples);
    default:
      return DecodeImaPayload(block, info, payload, words, samples);
  }
}

}  // namespace voice
