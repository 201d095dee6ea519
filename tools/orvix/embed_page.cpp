#include "tools/orvix/embed_page.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <regex>
#include <stdexcept>

namespace orvix {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::map<std::string, std::string> Attributes(const std::string& text) {
  static const std::regex attribute(
      R"re(([A-Za-z_:][-A-Za-z0-9_:.]*)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s"'>]+)))re");
  std::map<std::string, std::string> out;
  for (std::sregex_iterator it(text.begin(), text.end(), attribute), end; it != end; ++it) {
    const std::smatch& m = *it;
    std::string value = m[2].matched ? m[2].str() : m[3].matched ? m[3].str() : m[4].str();
    out.emplace(Lower(m[1].str()), value);
  }
  return out;
}

int LineAt(const std::string& html, size_t offset) {
  return 1 + static_cast<int>(std::count(html.begin(), html.begin() + offset, '\n'));
}

}  // namespace

bool HasEmbed(const std::string& html) {
  try {
    ParseEmbedPage(html);
    return true;
  } catch (const std::invalid_argument&) {
    return false;
  }
}

EmbedPage ParseEmbedPage(const std::string& html) {
  static const std::regex tag(R"re(<([A-Za-z][A-Za-z0-9]*)((?:[^>"']|"[^"]*"|'[^']*')*)>)re");
  const std::string lower = Lower(html);
  EmbedPage page;
  bool haveEmbed = false;
  size_t pos = 0;
  while (pos < html.size()) {
    std::smatch m;
    if (!std::regex_search(html.begin() + static_cast<std::ptrdiff_t>(pos), html.end(), m, tag))
      break;
    const size_t start = pos + static_cast<size_t>(m.position(0));
    const size_t after = start + static_cast<size_t>(m.length(0));
    // Comments hide what they hold.
    const size_t comment = lower.find("<!--", pos);
    if (comment != std::string::npos && comment < start) {
      const size_t close = lower.find("-->", comment + 4);
      pos = close == std::string::npos ? html.size() : close + 3;
      continue;
    }
    const std::string name = Lower(m[1].str());
    const auto attributes = Attributes(m[2].str());
    auto id = attributes.find("id");
    if (id != attributes.end()) page.elements.push_back(PageElement{name, id->second});
    if (name == "embed" && !haveEmbed && attributes.count("type") != 0) {
      haveEmbed = true;
      page.type = attributes.at("type");
      page.embedId = id != attributes.end() ? id->second : std::string();
    }
    pos = after;
    if (name == "script") {
      const size_t end = lower.find("</script", after);
      const size_t stop = end == std::string::npos ? html.size() : end;
      page.scripts.push_back(
          PageScriptBlock{html.substr(after, stop - after), LineAt(html, after)});
      pos = stop;
    }
  }
  if (!haveEmbed) throw std::invalid_argument("the page has no <embed type=...> element");
  return page;
}

}  // namespace orvix
