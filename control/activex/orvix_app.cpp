#include "control/activex/orvix_app.h"

#include "control/activex/orvix_ids.h"

namespace locorvix {

COrviXApp::COrviXApp() : OleModule(kTypeLibId, kTypeLibMajor, kTypeLibMinor) {}

BOOL COrviXApp::InitInstance() { return OleModule::InitInstance(); }

int COrviXApp::ExitInstance() { return OleModule::ExitInstance(); }

namespace {
COrviXApp theApp;
}  // namespace

COrviXApp& TheApp() { return theApp; }

}  // namespace locorvix
