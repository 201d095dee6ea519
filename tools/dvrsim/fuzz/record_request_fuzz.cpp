// Command payloads as a client might send them: record queries and descriptors read and looked
// up the way the recorder does, and the camera commands (PTZ actions, PTZ settings, image
// settings) read and answered the way the cameras do.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>

#include "tools/dvrsim/camera_desk.h"
#include "tools/dvrsim/catalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const dvrsim::Catalogue catalogue(8, 24, std::time_t{1765281600});
  static dvrsim::CameraDesk cameras(4, 64, 48, [](const std::string&) {});
  std::span<const uint8_t> bytes(data, size);
  if (auto q = dvrsim::ParseRecordQuery(bytes)) {
    for (const dvrsim::Recording* r : catalogue.Search(*q)) dvrsim::EncodeRecordEntry(*r, 1);
  }
  if (auto d = dvrsim::ParseRecordDescriptor(bytes)) catalogue.Find(*d);
  cameras.Action(bytes);
  cameras.Config(bytes);
  cameras.Image(bytes);
  return 0;
}
