#include "tools/orvix/host_options.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "stream/rtsp_auth.h"
#include "tools/orvix/properties.h"

namespace orvix {
namespace {

std::string ErrorOf(const std::vector<std::string>& args) {
  try {
    ParseHostOptions(args);
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "";
}

TEST(HostOptions, EveryOptionInBothSpellings) {
  HostOptions o = ParseHostOptions({"--dvr",
                                    "10.0.0.7",
                                    "--channels=8",
                                    "--preview",
                                    "0",
                                    "--sip-name",
                                    "Gate",
                                    "--lang=cn",
                                    "--default-channel",
                                    "-1",
                                    "--relay-state",
                                    "5",
                                    "--page",
                                    "p.html",
                                    "--display",
                                    "headless",
                                    "--screenshot",
                                    "s.png",
                                    "--after",
                                    "2.5",
                                    "--answer",
                                    "ok,yes",
                                    "--input",
                                    "in.txt",
                                    "--size",
                                    "1280x720",
                                    "--dvrsim",
                                    "/x/dvrsim",
                                    "--dvrsim-arg",
                                    "--audio"});
  EXPECT_EQ(*o.dvrAddr, "10.0.0.7");
  EXPECT_EQ(*o.channels, 8);
  EXPECT_EQ(*o.preview, 0);
  EXPECT_EQ(*o.sipName, "Gate");
  EXPECT_EQ(*o.lang, "cn");
  EXPECT_EQ(*o.defaultChannel, -1);
  EXPECT_EQ(*o.relayState, 5);
  EXPECT_EQ(o.pageFile, "p.html");
  EXPECT_EQ(o.display, "headless");
  EXPECT_EQ(o.screenshot, "s.png");
  EXPECT_DOUBLE_EQ(*o.after, 2.5);
  EXPECT_EQ(o.answers, "ok,yes");
  EXPECT_EQ(o.inputFile, "in.txt");
  EXPECT_EQ(o.width, 1280);
  EXPECT_EQ(o.height, 720);
  EXPECT_EQ(o.dvrsim, "/x/dvrsim");
  ASSERT_EQ(o.dvrsimArgs.size(), 1u);
  EXPECT_EQ(o.dvrsimArgs[0], "--audio");  // a value, even though it looks like an option

  HostOptions d = ParseHostOptions({});
  EXPECT_FALSE(d.help || d.dvrAddr || d.channels || d.after);
  EXPECT_EQ(d.display, "auto");
  EXPECT_EQ(d.width, 874);
  EXPECT_EQ(d.height, 576);
  EXPECT_TRUE(ParseHostOptions({"--help"}).help);
}

TEST(HostOptions, BadInputIsTold) {
  EXPECT_EQ(ErrorOf({"--bogus", "1"}), "unknown option --bogus");
  EXPECT_EQ(ErrorOf({"--bogus"}), "unknown option --bogus");
  EXPECT_EQ(ErrorOf({"--channels"}), "--channels needs a value");
  EXPECT_EQ(ErrorOf({"--size"}), "--size needs a value");
  EXPECT_EQ(ErrorOf({"stray"}), "unexpected argument \"stray\"");
  EXPECT_NE(ErrorOf({"--channels", "9"}).find("from 1 to 8"), std::string::npos);
  EXPECT_NE(ErrorOf({"--channels", "4x"}).find("\"4x\""), std::string::npos);
  EXPECT_NE(ErrorOf({"--channels", "99999999999999999999"}).find("whole number"),
            std::string::npos);
  EXPECT_NE(ErrorOf({"--preview", "2"}).find("from 0 to 1"), std::string::npos);
  EXPECT_NE(ErrorOf({"--default-channel", "-2"}).find("from -1"), std::string::npos);
  EXPECT_NE(ErrorOf({"--display", "wayland"}).find("x11, headless or auto"), std::string::npos);
  EXPECT_NE(ErrorOf({"--after", "-1"}).find("seconds"), std::string::npos);
  EXPECT_NE(ErrorOf({"--after", "nan"}).find("seconds"), std::string::npos);
  EXPECT_NE(ErrorOf({"--size", "800"}).find("WxH"), std::string::npos);
  EXPECT_NE(ErrorOf({"--size", "100x100"}).find("width"), std::string::npos);
  EXPECT_NE(ErrorOf({"--size", "800x"}).find("height"), std::string::npos);
  EXPECT_NE(ErrorOf({"--dvr", ""}).find("address"), std::string::npos);
  EXPECT_NE(ErrorOf({"--after", "0"}).find("at once"), std::string::npos);
}

TEST(Properties, HostPageThenPageFileThenCommandLine) {
  // No page file: the host's own page, and the simulator's address.
  PageProperties own = BuildProperties(HostOptions{}, {}, "127.0.0.1");
  EXPECT_EQ(own.Get("DvrAddr"), "127.0.0.1");
  EXPECT_EQ(own.Get("DvrChnNum"), "4");
  EXPECT_EQ(own.Get("Preview"), "1");
  EXPECT_EQ(own.Get("Lang"), "en");
  EXPECT_EQ(own.Get("DefChShow"), "-1");
  EXPECT_EQ(own.Get("sipName"), "");

  // A page file is taken as it is: what it leaves out stays missing.
  HostOptions with_page;
  with_page.pageFile = "p.html";
  PageProperties page =
      BuildProperties(with_page, {{"dvraddr", "10.1.1.1"}, {"DvrChnNum", "9"}}, "127.0.0.1");
  EXPECT_EQ(page.Get("DvrAddr"), "10.1.1.1");  // names match in any case
  EXPECT_EQ(page.Get("DvrChnNum"), "9");
  EXPECT_FALSE(page.Has("DefChShow"));
  EXPECT_FALSE(page.Has("Preview"));

  with_page.channels = 2;
  with_page.dvrAddr = "10.2.2.2";
  with_page.lang = "EN";
  with_page.relayState = 255;
  PageProperties over = BuildProperties(with_page, {{"DvrAddr", "10.1.1.1"}, {"Lang", "en"}}, "x");
  EXPECT_EQ(over.Get("DvrAddr"), "10.2.2.2");
  EXPECT_EQ(over.Get("DvrChnNum"), "2");
  EXPECT_EQ(over.Get("Lang"), "EN");
  EXPECT_EQ(over.Get("RelayState"), "255");
  EXPECT_EQ(over.params().size(), 4u);  // replaced in place, appended when new
}

// Cells named by the page's Url params and by --url, the command line's winning for the same
// cell; a bad one is refused in one line that never shows its password.
TEST(Properties, CellUrlsFromThePageAndTheCommandLine) {
  HostOptions o = ParseHostOptions({"--url", "6=RTSP://cam/h265", "--url=12=rtsp://u:p@x/s"});
  EXPECT_EQ(o.cellUrls,
            (std::map<int, std::string>{{6, "rtsp://cam/h265"}, {12, "rtsp://u:p@x/s"}}));
  PageProperties p = BuildProperties(
      o, {{"URL", "5=rtsp://a/1"}, {"url", "6=rtsp://page/6"}, {"Urls", "7=bad"}}, "127.0.0.1");
  EXPECT_EQ(p.cellUrls, (std::map<int, std::string>{
                            {5, "rtsp://a/1"}, {6, "rtsp://cam/h265"}, {12, "rtsp://u:p@x/s"}}));

  const std::string secret = "S3cr:et";
  for (const std::string& bad : std::vector<std::string>{
           "rtsp://admin:" + secret + "@cam/s", "0=rtsp://admin:" + secret + "@cam/s",
           "17=rtsp://admin:" + secret + "@cam/s", "x=rtsp://admin:" + secret + "@cam/s",
           "5=http://admin:" + secret + "@cam/s", "5=rtsp://"}) {
    std::string error = ErrorOf({"--url", bad});
    EXPECT_EQ(error.rfind("--url needs", 0), 0u) << error;
    EXPECT_EQ(error.find("et@"), std::string::npos) << error;
  }
  EXPECT_EQ(ErrorOf({"--url", "5=rtsp://a/1", "--url", "5=rtsp://b/2"}),
            "--url gives cell 5 twice");
  EXPECT_EQ(UrlWithoutPassword("rtsp://admin:" + secret + "@cam:554/s"), "rtsp://admin@cam:554/s");
  EXPECT_EQ(UrlWithoutPassword("rtsp://cam/a:b@c"), "rtsp://cam/a:b@c");  // '@' in the path
  try {
    BuildProperties(HostOptions{}, {{"Url", "5=rtsp://u:" + secret + "@h"}, {"Url", "9"}}, "");
    ADD_FAILURE() << "a bad Url param was taken";
  } catch (const std::invalid_argument& e) {
    EXPECT_EQ(std::string(e.what()).rfind("the page's Url param needs", 0), 0u) << e.what();
  }
}

}  // namespace
}  // namespace orvix
