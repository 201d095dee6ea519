#include "voice/hi_voice.h"

#include <cstring>
#include <optional>
#include <utility>

#include "voice/frame_codec.h"
#include "voice/state_records.h"
#include "voice/voice_types.h"

namespace {

using voice::LookupType;
using voice::TypeInfo;

constexpr int kFlagsWord = 0x0100;

uint8_t* Bytes(void* p) { return static_cast<uint8_t*>(p); }
const uint8_t* Bytes(const void* p) { return static_cast<const uint8_t*>(p); }

int32_t Reset(void* state, int32_t type, int32_t unknown_type_error) {
  if (state == nullptr) return HI_VOICE_ERR_NULL_STATE;
  const auto code = static_cast<int16_t>(type);
  const std::optional<TypeInfo> info = LookupType(code);  // the type is an int16 code
  if (!info) {
    voice::StoreRecord(state, code);
    return unknown_type_error;
  }
  voice::ResetState(state, code, *info);
  return 0;
}

// Flags bits 8-9 must read 01.
bool FlagsValid(const uint8_t* frame) { return (frame[1] & 0x03) == 0x01; }

struct TransPair {
  int32_t encoder_type;
  int32_t decoder_type;
};

constexpr TransPair kTransPairs[] = {{1, 65}, {2, 66}, {3, 67}, {4, 68}};

void SwapPayloadBytes(uint8_t* frame) {
  const int words = frame[2];
  for (int i = 0; i < words; ++i) std::swap(frame[4 + 2 * i], frame[5 + 2 * i]);
}

}  // namespace

extern "C" {

int32_t HI_VOICE_GetVersion(char* text) {
  if (text == nullptr) return -1;
  std::memcpy(text, HI_VOICE_VERSION_TEXT, sizeof HI_VOICE_VERSION_TEXT);
  return 0;
}

int32_t HI_VOICE_EncReset(void* state, int32_t type) {
  return Reset(state, type, HI_VOICE_ERR_ENC_TYPE);
}

int32_t HI_VOICE_DecReset(void* state, int32_t type) {
  return Reset(state, type, HI_VOICE_ERR_DEC_TYPE);
}

int32_t HI_VOICE_EncodeFrame(void* state, const int16_t* samples, void* frame, int32_t count) {
  if (state == nullptr) return HI_VOICE_ERR_NULL_STATE;
  if (samples == nullptr) return HI_VOICE_ERR_NULL_INPUT;
  if (frame == nullptr) return HI_VOICE_ERR_NULL_OUTPUT;
  const std::optional<TypeInfo> info = LookupType(voice::LoadType(state));
  if (!info) return HI_VOICE_ERR_ENC_TYPE;
  if (count < 1 || count > HI_VOICE_MAX_ENCODE_SAMPLES) return HI_VOICE_ERR_ENC_COUNT;
  uint8_t* out = Bytes(frame);
  const int words = voice::EncodePayload(state, *info, samples, count, out + 4);
  out[0] = kFlagsWord & 0xFF;
  out[1] = kFlagsWord >> 8;
  out[2] = static_cast<uint8_t>(words);
  out[3] = 0;
  return 0;
}

int32_t HI_VOICE_DecodeFrame(void* state, const void* frame, int16_t* samples, int32_t* count) {
  if (count != nullptr) *count = 0;
  if (state == nullptr) return HI_VOICE_ERR_NULL_STATE;
  if (frame == nullptr) return HI_VOICE_ERR_NULL_INPUT;
  if (samples == nullptr || count == nullptr) return HI_VOICE_ERR_NULL_OUTPUT;
  const std::optional<TypeInfo> info = LookupType(voice::LoadType(state));
  if (!info) return HI_VOICE_ERR_DEC_TYPE;
  const uint8_t* in = Bytes(frame);
  if (!FlagsValid(in)) return HI_VOICE_ERR_DEC_FLAGS;
  const int words = in[2];
  if (!voice::DecodeLengthAllowed(*info, words)) return HI_VOICE_ERR_DEC_LENGTH;
  *count = voice::DecodePayload(state, *info, in + 4, words, samples);
  return 0;
}

int32_t HI_VOICE_TransCodeReset(void* transcoder, int32_t type) {
  if (transcoder == nullptr) return HI_VOICE_ERR_TRANS_STATE;
  if (type < HI_VOICE_TRANS_ALAW || type > HI_VOICE_TRANS_G726) return HI_VOICE_ERR_TRANS_TYPE;
  const TransPair& pair = kTransPairs[type - HI_VOICE_TRANS_ALAW];
  HI_VOICE_EncReset(transcoder, pair.encoder_type);
  HI_VOICE_DecReset(Bytes(transcoder) + HI_VOICE_TRANSCODER_DECODER_OFFSET, pair.decoder_type);
  return 0;
}

int32_t HI_VOICE_TransCodeFrame(void* transcoder, void* frame) {
  if (transcoder == nullptr) return HI_VOICE_ERR_TRANS_STATE;
  if (frame == nullptr) return HI_VOICE_ERR_NULL_INPUT;
  void* decoder = Bytes(transcoder) + HI_VOICE_TRANSCODER_DECODER_OFFSET;
  const int16_t encoder_type = voice::LoadType(transcoder);
  const int16_t decoder_type = voice::LoadType(decoder);
  const TransPair* pair = nullptr;
  for (const TransPair& p : kTransPairs) {
    if (p.encoder_type == encoder_type && p.decoder_type == decoder_type) pair = &p;
  }
  if (pair == nullptr) return HI_VOICE_ERR_TRANS_TYPE;
  if (encoder_type <= HI_VOICE_G711_ULAW) {
    SwapPayloadBytes(Bytes(frame));
    return 0;
  }
  int16_t samples[HI_VOICE_MAX_DECODE_SAMPLES];
  int32_t count = 0;
  const int32_t decoded = HI_VOICE_DecodeFrame(decoder, frame, samples, &count);
  if (decoded != 0) return decoded;
  return HI_VOICE_EncodeFrame(transcoder, samples, frame, count);
}

}  // extern "C"
