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
  return p;
}

}  // namespace orvix
