#pragma once
// The viewer shown until the real control is built in: the empty grid of the page's channel
// count on a dark background, beside the right-hand strip where the control panel goes.
// It draws straight into the desktop's framebuffer.

#include <memory>

#include "tools/orvix/hosted_viewer.h"

namespace orvix {

std::unique_ptr<HostedViewer> CreatePlaceholderViewer();

// Colours of the placeholder, for the tests that look at its screenshots.
constexpr uint32_t kPlaceholderBackground = 0x181C20;
constexpr uint32_t kPlaceholderCell = 0x000000;
constexpr uint32_t kPlaceholderCellFrame = 0x3A4048;
constexpr uint32_t kPlaceholderPanel = 0x2C3036;

}  // namespace orvix
