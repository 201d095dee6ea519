#pragma once
// Page files: the HTML page that embeds the viewer. Its <object> element carries the viewer's
// properties as <param name="..." value="..."> children. The reader is tolerant as browsers
// are: tag and attribute names in any case, values quoted with " or ' or not at all, comments
// skipped, character references (&amp; &lt; &gt; &quot; &apos; &#N; &#xN;) decoded, a missing
// </object> taken as the end of the page.

#include <string>
#include <utility>
#include <vector>

namespace orvix {

using PageParams = std::vector<std::pair<std::string, std::string>>;  // in page order

// The params of the first <object>, and in *class_id (when given) its classid attribute as
// written ("clsid:..."; empty without one). Throws std::invalid_argument when the page has no
// <object> element.
PageParams ParsePageParams(const std::string& html, std::string* class_id = nullptr);

// Reads and parses a page file; the message of the exception names the file.
PageParams ReadPageFile(const std::string& path, std::string* class_id = nullptr);

}  // namespace orvix
