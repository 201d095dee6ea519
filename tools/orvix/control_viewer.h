#pragma once
// The viewer control core hosted as a browser would host it: the page's properties, then the
// control's window as a child of the host's window.

#include <memory>

#include "tools/orvix/hosted_viewer.h"

namespace orvix {

std::unique_ptr<HostedViewer> CreateControlViewer();

}  // namespace orvix
