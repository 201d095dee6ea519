#pragma once

/*
 * HI_VOICE frame codec: converts between 16-bit linear PCM at 8 kHz and the DVR's voice frames
 * (G.711 A-law and mu-law, IMA/DVI4 ADPCM, G.726 at 16 to 40 kbit/s, in several packings).
 *
 * A frame is an array of 16-bit little-endian words: word 0 carries the flags (bits 8-9 read
 * 01), word 1 the payload length L in words (low byte), then L payload words; it occupies
 * 4 + 2 * L bytes.
 *
 * The library never allocates. The caller owns every state block and buffer; a state block is
 * plain bytes (no alignment needed), at least HI_VOICE_STATE_BYTES long, starting with the type
 * code as an int16. One state serves one stream: reset it, then pass it to every frame call of
 * that stream. Separate states may be used on separate threads at once.
 *
 * Every function returns 0 on success or one of the HI_VOICE_ERR_* codes below.
 */

#include <stdint.h>

#if defined(__GNUC__)
#define HI_VOICE_API __attribute__((visibility("default")))
#else
#define HI_VOICE_API
#endif

#define HI_VOICE_VERSION_TEXT "HI_VOICE_VERSION=DVR_VOICELIB_V1.0.0.0"

/* Smallest state block for an encoder or decoder. */
#define HI_VOICE_STATE_BYTES 128
/* A transcoder block holds an encoder state at offset 0 and a decoder state at this offset. */
#define HI_VOICE_TRANSCODER_DECODER_OFFSET 2048
#define HI_VOICE_TRANSCODER_BYTES (HI_VOICE_TRANSCODER_DECODER_OFFSET + HI_VOICE_STATE_BYTES)

/* Most samples one call encodes, and most samples one decoded frame can produce. */
#define HI_VOICE_MAX_ENCODE_SAMPLES 481
#define HI_VOICE_MAX_DECODE_SAMPLES 488
/* Largest frame the encoder or the transcoder writes (2 header + 240 payload words). */
#define HI_VOICE_MAX_FRAME_BYTES 484

/* Codec type codes. */
#define HI_VOICE_G711_ALAW 1
#define HI_VOICE_G711_ULAW 2
#define HI_VOICE_G711_ALAW_SWAPPED 65
#define HI_VOICE_G711_ULAW_SWAPPED 66
#define HI_VOICE_DVI4 3
#define HI_VOICE_IMA_ADPCM 35
#define HI_VOICE_DVI4_HEADERLESS 67
#define HI_VOICE_G726_16 4
#define HI_VOICE_G726_24 5
#define HI_VOICE_G726_32 6
#define HI_VOICE_G726_40 7
#define HI_VOICE_G726_16_MSB 36
#define HI_VOICE_G726_24_MSB 37
#define HI_VOICE_G726_32_MSB 38
#define HI_VOICE_G726_40_MSB 39
#define HI_VOICE_G726_16_WORD 68
/* Transcoder types: the pair (encoder type, decoder type) each one sets up. */
#define HI_VOICE_TRANS_ALAW 97  /* 65 -> 1 */
#define HI_VOICE_TRANS_ULAW 98  /* 66 -> 2 */
#define HI_VOICE_TRANS_DVI4 99  /* 67 -> 3 */
#define HI_VOICE_TRANS_G726 100 /* 68 -> 4 */

/* Result codes. */
#define HI_VOICE_ERR_NULL_STATE ((int32_t)0xA1220101)
#define HI_VOICE_ERR_NULL_INPUT ((int32_t)0xA1220102)
#define HI_VOICE_ERR_NULL_OUTPUT ((int32_t)0xA1220103)
#define HI_VOICE_ERR_ENC_TYPE ((int32_t)0xA1220001)
#define HI_VOICE_ERR_ENC_COUNT ((int32_t)0xA1220002)
#define HI_VOICE_ERR_DEC_TYPE ((int32_t)0xA1220011)
#define HI_VOICE_ERR_DEC_LENGTH ((int32_t)0xA1220012)
#define HI_VOICE_ERR_DEC_FLAGS ((int32_t)0xA1220013)
#define HI_VOICE_ERR_TRANS_STATE ((int32_t)0xA1221001)
#define HI_VOICE_ERR_TRANS_TYPE ((int32_t)0xA1221002)

#ifdef __cplusplus
extern "C" {
#endif

/* Copies HI_VOICE_VERSION_TEXT with its NUL into `text` (at least 39 bytes); -1 if null. */
HI_VOICE_API int32_t HI_VOICE_GetVersion(char* text);

/* Store `type` (an int16 code: its low 16 bits) at the start of `state` and reset the codec
 * state. An unknown type is still stored, and HI_VOICE_ERR_ENC_TYPE (encoder) or
 * HI_VOICE_ERR_DEC_TYPE (decoder) returned. */
HI_VOICE_API int32_t HI_VOICE_EncReset(void* state, int32_t type);
HI_VOICE_API int32_t HI_VOICE_DecReset(void* state, int32_t type);

/* Encodes `count` samples (1 to 481) into one frame at `frame`, which must hold
 * HI_VOICE_MAX_FRAME_BYTES. Samples that do not fill a whole payload unit (the odd last G.711
 * sample, ADPCM codes that do not fill a whole payload word) are left out. */
HI_VOICE_API int32_t HI_VOICE_EncodeFrame(void* state, const int16_t* samples, void* frame,
                                          int32_t count);

/* Checks and decodes one frame. REQUIRES: `frame` holds the 4 + 2 * L bytes its header
 * announces; `samples` holds HI_VOICE_MAX_DECODE_SAMPLES. `*count` is set to 0 first, then to
 * the number of samples written. */
HI_VOICE_API int32_t HI_VOICE_DecodeFrame(void* state, const void* frame, int16_t* samples,
                                          int32_t* count);

/* Sets up a transcoder block (HI_VOICE_TRANSCODER_BYTES) for type 97 to 100. */
HI_VOICE_API int32_t HI_VOICE_TransCodeReset(void* transcoder, int32_t type);

/* Rewrites `frame` in place into the standard packing of its pair. For the DVI4 pair the frame
 * grows by the 2 header words, so `frame` must hold HI_VOICE_MAX_FRAME_BYTES. */
HI_VOICE_API int32_t HI_VOICE_TransCodeFrame(void* transcoder, void* frame);

#ifdef __cplusplus
}
#endif
