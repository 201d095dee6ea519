#pragma once
// The host as a browser for a plug-in page: it finds the module for the page's <embed type>,
// loads it, gives it the browser's table, makes an instance on the page and a window for it,
// hands the embed element's scriptable object to the page and runs the page's scripts.

#include <memory>
#include <string>

#include "tools/orvix/hosted_viewer.h"

namespace orvix {

// Null when the page file cannot be read or has no <embed type=...>.
std::unique_ptr<HostedViewer> CreatePluginViewer(const std::string& pageFile);

// True when the file reads and holds an <embed type=...>.
bool IsPluginPageFile(const std::string& pageFile);

// The module file of the plug-in registered for a MIME type; empty when none is.
std::string PluginModuleFor(const std::string& mimeType);

}  // namespace orvix
