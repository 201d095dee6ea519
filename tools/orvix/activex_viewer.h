#pragma once
// The page's <object classid="clsid:..."> loaded as a browser loads an ActiveX control: the
// class found in the registry and its module loaded by COM, the control asked to be safe for
// untrusted callers and data (a control that is not is refused), the page's params given
// through its property bag, and the control activated in place in the host's window.

#include <memory>

#include "tools/orvix/hosted_viewer.h"

namespace orvix {

std::unique_ptr<HostedViewer> CreateActiveXViewer();

}  // namespace orvix
