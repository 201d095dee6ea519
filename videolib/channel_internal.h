#pragma once
// Shared by the channel's source files only.

#include <cstddef>

#include "platform/kernel/win_types.h"
#include "videolib/lock.h"
#include "videolib/snap_queue.h"

namespace channel_internal {

// LocPlexa prints the size and buffer lines of opening, closing and resizing; Plexa does not.
constexpr bool kVerbose = VIDEOLIB_GDI_TEXT != 0;

// 16-byte aligned heap block (at least 16 bytes), freed with std::free; null when none is left.
BYTE* AlignedAlloc(size_t bytes);

// The library's capture thread and its queue (channel_capture.cpp).
bool CaptureRunning();
// False when the queue is full or not set up: the caller keeps (and frees) the picture.
bool QueueSnap(const SnapItem& item);

// Around every decoder create and destroy of every channel.
CrLockCS& DecoderLock();

// A planar 4:2:0 picture whose rows lie `y_stride` and `uv_stride` bytes apart into `dst`,
// packed: Y, then U, then V, each row as wide as its plane.
void PackPlanes(const BYTE* y, const BYTE* u, const BYTE* v, size_t y_stride, size_t uv_stride,
                int width, int height, BYTE* dst);

}  // namespace channel_internal
