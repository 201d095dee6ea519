#pragma once
// The control module's one module object.

#include "control/activex/framework/ole_module.h"

namespace locorvix {

class COrviXApp : public activex::OleModule {
 public:
  COrviXApp();
  // Both call the base class only.
  BOOL InitInstance() override;
  int ExitInstance() override;
};

COrviXApp& TheApp();

}  // namespace locorvix
