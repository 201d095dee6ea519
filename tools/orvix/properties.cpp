#include "tools/orvix/properties.h"

namespace orvix {

PageProperties BuildProperties(const HostOptions& options, const PageParams& page,
                               const std::string& dvr_addr) {
  PageProperties p(page);
  if (options.pageFile.empty()) {
    p.Set("DvrChnNum", "4");
    p.Set("Preview", "1");
    p.Set("Lang", "en");
    p.Set("DefChShow", "-1");
    p.Set("RelayState", "0");
  }
  if (options.dvrAddr) p.Set("DvrAddr", *options.dvrAddr);
  if (!p.Has("DvrAddr") || p.Get("DvrAddr").empty()) p.Set("DvrAddr", dvr_addr);
  if (options.channels) p.Set("DvrChnNum", std::to_string(*options.channels));
  if (options.preview) p.Set("Preview", std::to_string(*options.preview));
  if (options.sipName) p.Set("sipName", *options.sipName);
  if (options.lang) p.Set("Lang", *options.lang);
  if (options.defaultChannel) p.Set("DefChShow", std::to_string(*options.defaultChannel));
  if (options.relayState) p.Set("RelayState", std::to_string(*options.relayState));
  for (const auto& [name, value] : page) {
    if (name.size() != 3 || (name[0] | 0x20) != 'u' || (name[1] | 0x20) != 'r' ||
        (name[2] | 0x20) != 'l')
      continue;
    auto [cell, url] = ParseCellUrl("the page's Url param", value);
    p.cellUrls[cell] = url;
  }
  for (const auto& [cell, url] : options.cellUrls) p.cellUrls[cell] = url;
  return p;
}

}  // namespace orvix
