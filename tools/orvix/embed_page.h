#pragma once
// A page that embeds a plug-in: its <embed type="..."> element, the elements that carry an id
// (what the page's script finds with document.getElementById), and its <script> blocks with
// the page line each one starts on, so that script errors name the page's lines.

#include <string>
#include <vector>

namespace orvix {

struct PageElement {
  std::string tag;  // lower case
  std::string id;
};

struct PageScriptBlock {
  std::string text;
  int line = 1;  // the page line the script's first character is on
};

struct EmbedPage {
  std::string type;  // the embed element's MIME type
  std::string embedId;
  std::vector<PageElement> elements;
  std::vector<PageScriptBlock> scripts;
};

// True when the page has an <embed> element with a type.
bool HasEmbed(const std::string& html);

// The page's embed, elements and scripts. Throws std::invalid_argument when there is no
// <embed type="...">.
EmbedPage ParseEmbedPage(const std::string& html);

}  // namespace orvix
