#pragma once
// The H.264 decoder library the channels decode with: four calls over records of 32-bit
// fields. Input is an Annex B byte stream handed over in pieces of any size (one NAL unit with
// its start code per call is the usual case); output is planar 4:2:0.
//
// Threads: one handle is used by one thread at a time; different handles are independent.
// Create and destroy may be serialised by the caller; decoding needs no lock.

#include <cstdint>

using HI_S32 = int32_t;
using HI_U32 = uint32_t;
using HI_U64 = uint64_t;
using HI_U8 = uint8_t;
using HI_HDL = void*;

constexpr HI_S32 HI_H264DEC_OK = 0;  // a picture is in the output record
constexpr HI_S32 HI_H264DEC_NEED_MORE_BITS = -1;
constexpr HI_S32 HI_H264DEC_NO_PICTURE = -2;  // end of stream reached, nothing more to show
constexpr HI_S32 HI_H264DEC_ERR_HANDLE = -3;

constexpr HI_U32 HI_H264DEC_FLAG_END_OF_STREAM = 1;

constexpr HI_U32 HI_VIDEO_CODEC_H264 = 0;
constexpr HI_U32 HI_VIDEO_CODEC_H265 = 1;

struct H264_LIBINFO_S {
  HI_U32 uMajor;
  HI_U32 uMinor;
  HI_U32 uRelease;
  HI_U32 uBuild;
  const char* sVersion;
  const char* sCopyRight;
  HI_U32 uFunctionSet;
  HI_U32 uPictureFormat;
  HI_U32 uStreamInType;
  HI_U32 uPicWidth;  // largest picture, in pixels
  HI_U32 uPicHeight;
  HI_U32 uBufNum;
  HI_U32 uReserved;
};

// The first six fields are what callers set.
struct H264_DEC_ATTR_S {
  HI_U32 uPictureFormat;  // 0: planar 4:2:0
  HI_U32 uStreamInType;   // 0: byte stream
  HI_U32 uPicWidthInMB;
  HI_U32 uPicHeightInMB;
  HI_U32 uBufNum;  // reference buffers
  HI_U32 uWorkMode;
  void* pUserData;
  HI_U32 uReserved;
};

// The planes are the decoder's own and stay valid until it hands out its next picture on the
// same handle, or the handle is destroyed: calls that give no picture leave them as they were.
// Rows lie a stride apart, at least the plane's width (the chroma planes' is half the picture
// width, rounded up) and usually more: the decoder pads its rows for its vector code.
struct H264_DEC_FRAME_S {
  HI_U8* pY;
  HI_U8* pU;
  HI_U8* pV;
  HI_U32 uWidth;
  HI_U32 uHeight;
  HI_U32 uYStride;
  HI_U32 uUVStride;
  HI_U32 uCroppingLeftOffset;
  HI_U32 uCroppingRightOffset;
  HI_U32 uCroppingTopOffset;
  HI_U32 uCroppingBottomOffset;
  HI_U32 uDpbIdx;
  HI_U32 uPicFlag;  // 0 frame
  HI_U32 bError;    // the picture was concealed after damaged input
  HI_U32 bIsFinished;
  HI_U64 ullPTS;
};

extern "C" {
// Fills the library information; 0 on success.
HI_S32 Hi264DecGetInfo(H264_LIBINFO_S* info);
// A decoder for the attributes, or null (bad attributes, no memory).
HI_HDL Hi264DecCreate(H264_DEC_ATTR_S* attr);
// Feeds `length` bytes (stream may be null with length 0 to fetch further pictures of input
// already given) and returns HI_H264DEC_OK with a picture, HI_H264DEC_NEED_MORE_BITS when no
// picture is ready, or, with the end-of-stream flag once everything is drained,
// HI_H264DEC_NO_PICTURE; the decoder then accepts a new stream. Damaged input is skipped,
// never reported as a failure of the call.
HI_S32 Hi264DecFrame(HI_HDL handle, HI_U8* stream, HI_U32 length, HI_U64 pts,
                     H264_DEC_FRAME_S* picture, HI_U32 flags);
void Hi264DecDestroy(HI_HDL handle);

// The same decoder for another coding: Hi264DecCreate is HiVideoDecCreate with
// HI_VIDEO_CODEC_H264. The handle goes to Hi264DecFrame and Hi264DecDestroy like any other;
// an H.265 handle takes its Annex B stream in pieces of any size as well, and hands a picture
// out once the next one has begun (one picture of delay).
HI_HDL HiVideoDecCreate(H264_DEC_ATTR_S* attr, HI_U32 codec);
}
