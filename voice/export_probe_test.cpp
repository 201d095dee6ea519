#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "voice/hi_voice.h"

TEST(Export, SharedModuleLinkedWithTheWholeLibraryExportsAllSevenFunctions) {
  char text[64];
  EXPECT_EQ(HI_VOICE_GetVersion(text), 0);
  EXPECT_STREQ(text, HI_VOICE_VERSION_TEXT);
  uint8_t enc[HI_VOICE_STATE_BYTES], dec[HI_VOICE_STATE_BYTES];
  ASSERT_EQ(HI_VOICE_EncReset(enc, HI_VOICE_IMA_ADPCM), 0);
  ASSERT_EQ(HI_VOICE_DecReset(dec, HI_VOICE_IMA_ADPCM), 0);
  int16_t samples[161] = {1000};
  uint8_t frame[HI_VOICE_MAX_FRAME_BYTES];
  ASSERT_EQ(HI_VOICE_EncodeFrame(enc, samples, frame, 161), 0);
  int16_t out[HI_VOICE_MAX_DECODE_SAMPLES];
  int32_t count = 0;
  ASSERT_EQ(HI_VOICE_DecodeFrame(dec, frame, out, &count), 0);
  EXPECT_EQ(count, 161);
  std::vector<uint8_t> transcoder(HI_VOICE_TRANSCODER_BYTES);
  ASSERT_EQ(HI_VOICE_TransCodeReset(transcoder.data(), HI_VOICE_TRANS_ALAW), 0);
  uint8_t g711[4 + 160] = {0x00, 0x01, 80, 0};
  EXPECT_EQ(HI_VOICE_TransCodeFrame(transcoder.data(), g711), 0);
}
