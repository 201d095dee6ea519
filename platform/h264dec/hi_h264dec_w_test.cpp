#include "platform/h264dec/hi_h264dec_w.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/h264dec/test_clip.h"

namespace {

H264_DEC_ATTR_S D1Attributes() { return {0, 0, 45, 36, 3, 0, nullptr, 0}; }

uint32_t LumaSum(const H264_DEC_FRAME_S& p) {
  uint32_t sum = 0;
  for (HI_U32 y = 0; y < p.uHeight; ++y) {
    for (HI_U32 x = 0; x < p.uWidth; ++x) sum += p.pY[y * p.uYStride + x];
  }
  return sum;
}

// Feeds a clip one NAL unit per call, as a channel does, fetching every picture each call
// yields; returns the luma sums of the pictures in order and, per access unit, how many
// pictures had come out once its last NAL unit was given.
struct Fed {
  std::vector<uint32_t> sums;
  std::vector<size_t> shown_after_frame;
};

Fed FeedNalByNal(HI_HDL decoder, const h264test::Clip& clip) {
  Fed fed;
  H264_DEC_FRAME_S picture{};
  H264_DEC_FRAME_S last{};
  for (const auto& frame : clip.frames) {
    for (const auto& nal : frame) {
      HI_S32 r = Hi264DecFrame(decoder, const_cast<HI_U8*>(nal.data()),
                               static_cast<HI_U32>(nal.size()), 0, &picture, 0);
      while (r != HI_H264DEC_NEED_MORE_BITS) {
        EXPECT_EQ(r, HI_H264DEC_OK);
        if (r != HI_H264DEC_OK) break;
        EXPECT_EQ(picture.uWidth, static_cast<HI_U32>(clip.width));
        EXPECT_EQ(picture.uHeight, static_cast<HI_U32>(clip.height));
        // The decoder's own planes: rows at least as long as the planes are wide.
        EXPECT_GE(picture.uYStride, picture.uWidth);
        EXPECT_GE(picture.uUVStride, (picture.uWidth + 1) / 2);
        fed.sums.push_back(LumaSum(picture));
        last = picture;
        r = Hi264DecFrame(decoder, nullptr, 0, 0, &picture, 0);
      }
      // Calls that give no picture leave the last one's planes as they were.
      if (last.pY != nullptr) {
        EXPECT_EQ(LumaSum(last), fed.sums.back());
      }
    }
    fed.shown_after_frame.push_back(fed.sums.size());
  }
  return fed;
}

TEST(H264Decoder, InformationAndAttributeChecks) {
  H264_LIBINFO_S info{};
  EXPECT_EQ(Hi264DecGetInfo(&info), 0);
  EXPECT_NE(info.sVersion, nullptr);
  EXPECT_NE(info.sCopyRight, nullptr);
  EXPECT_NE(Hi264DecGetInfo(nullptr), 0);

  H264_DEC_ATTR_S bad = D1Attributes();
  bad.uPictureFormat = 1;
  EXPECT_EQ(Hi264DecCreate(&bad), nullptr);
  bad = D1Attributes();
  bad.uPicWidthInMB = 0;
  EXPECT_EQ(Hi264DecCreate(&bad), nullptr);
  EXPECT_EQ(Hi264DecCreate(nullptr), nullptr);
  H264_DEC_FRAME_S picture{};
  EXPECT_EQ(Hi264DecFrame(nullptr, nullptr, 0, 0, &picture, 0), HI_H264DEC_ERR_HANDLE);
  Hi264DecDestroy(nullptr);
}

TEST(H264Decoder, NalByNalGivesEveryPictureAtOnceAndMatchesAWholeFrameDecode) {
  auto clip = h264test::MakeClip(352, 288, 30);
  ASSERT_EQ(clip.frames.size(), 30u);
  H264_DEC_ATTR_S attr = D1Attributes();
  HI_HDL decoder = Hi264DecCreate(&attr);
  ASSERT_NE(decoder, nullptr);
  Fed fed = FeedNalByNal(decoder, clip);
  EXPECT_EQ(fed.sums, clip.luma_sums);
  // No frame of delay: each picture is out once its own slice is in.
  for (size_t i = 0; i < fed.shown_after_frame.size(); ++i) {
    EXPECT_EQ(fed.shown_after_frame[i], i + 1) << "after access unit " << i;
  }
  Hi264DecDestroy(decoder);
}

TEST(H264Decoder, PicturesOfSeveralSlicesComeOutWhole) {
  auto clip = h264test::MakeClip(720, 576, 10, 25, 4);
  ASSERT_GT(clip.frames[1].size(), 3u);  // several slice NAL units per picture
  H264_DEC_ATTR_S attr = D1Attributes();
  HI_HDL decoder = Hi264DecCreate(&attr);
  Fed fed = FeedNalByNal(decoder, clip);
  EXPECT_EQ(fed.sums, clip.luma_sums);
  Hi264DecDestroy(decoder);
}

TEST(H264Decoder, EndOfStreamDrainsThenReportsNoPictureAndANewStreamDecodes) {
  auto clip = h264test::MakeClip(176, 144, 5);
  H264_DEC_ATTR_S attr = D1Attributes();
  HI_HDL decoder = Hi264DecCreate(&attr);
  FeedNalByNal(decoder, clip);
  H264_DEC_FRAME_S picture{};
  EXPECT_EQ(Hi264DecFrame(decoder, nullptr, 0, 0, &picture, HI_H264DEC_FLAG_END_OF_STREAM),
            HI_H264DEC_NO_PICTURE);
  Fed again = FeedNalByNal(decoder, clip);
  EXPECT_EQ(again.sums, clip.luma_sums);
  Hi264DecDestroy(decoder);
}

TEST(H264Decoder, GarbageAndCutUnitsAreSurvivedAndTheNextKeyFrameRecovers) {
  auto clip = h264test::MakeClip(352, 288, 20, 10);
  H264_DEC_ATTR_S attr = D1Attributes();
  HI_HDL decoder = Hi264DecCreate(&attr);
  std::mt19937 random(7);
  H264_DEC_FRAME_S picture{};
  for (int i = 0; i < 200; ++i) {
    std::vector<HI_U8> junk(1 + random() % 3000);
    for (auto& b : junk) b = static_cast<HI_U8>(random());
    junk[0] = 0, junk[1] = 0, junk[2] = 0;
    if (junk.size() > 4) junk[3] = 1;
    HI_S32 r =
        Hi264DecFrame(decoder, junk.data(), static_cast<HI_U32>(junk.size()), 0, &picture, 0);
    while (r == HI_H264DEC_OK) r = Hi264DecFrame(decoder, nullptr, 0, 0, &picture, 0);
    EXPECT_EQ(r, HI_H264DEC_NEED_MORE_BITS);
  }
  // Frames 0-9 with every slice cut in half, then the second group of pictures intact.
  for (size_t f = 0; f < 10; ++f) {
    for (auto nal : clip.frames[f]) {
      nal.resize(nal.size() / 2 + 1);
      HI_S32 r =
          Hi264DecFrame(decoder, nal.data(), static_cast<HI_U32>(nal.size()), 0, &picture, 0);
      while (r == HI_H264DEC_OK) r = Hi264DecFrame(decoder, nullptr, 0, 0, &picture, 0);
    }
  }
  h264test::Clip rest = clip;
  rest.frames.erase(rest.frames.begin(), rest.frames.begin() + 10);
  Fed fed = FeedNalByNal(decoder, rest);
  ASSERT_EQ(fed.sums.size(), 10u);
  EXPECT_EQ(std::vector<uint32_t>(clip.luma_sums.begin() + 10, clip.luma_sums.end()), fed.sums);
  Hi264DecDestroy(decoder);
}

}  // namespace
