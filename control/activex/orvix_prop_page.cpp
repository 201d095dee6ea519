#include "control/activex/orvix_prop_page.h"

#include "OrviXResources.h"
#include "control/activex/framework/registration.h"
#include "control/activex/orvix_app.h"
#include "control/activex/orvix_ids.h"
#include "platform/ui/dialog_resource.h"
#include "platform/ui/ui.h"

namespace locorvix {
namespace {
COrviXPropPage::COrviXPropPageFactory g_page_factory;
}  // namespace

COrviXPropPage::COrviXPropPage() { TheApp().Lock(); }

COrviXPropPage::~COrviXPropPage() { TheApp().Unlock(); }

HRESULT COrviXPropPage::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown) {
    *out = this;
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG COrviXPropPage::AddRef() { return ++refs_; }

ULONG COrviXPropPage::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

int COrviXPropPage::DialogId() { return IDD_PROPPAGE_ORVIX; }

std::string COrviXPropPage::Caption() {
  char text[128];
  LoadStringA(OrviXResources(), IDS_ORVIX_PPG_CAPTION, text, sizeof(text));
  return text;
}

COrviXPropPage::COrviXPropPageFactory::COrviXPropPageFactory()
    : ClassFactory(kPropPageClassId, kPropPageProgId) {}

IUnknown* COrviXPropPage::COrviXPropPageFactory::CreateObject() { return new COrviXPropPage; }

bool COrviXPropPage::COrviXPropPageFactory::UpdateRegistry(bool register_it) {
  if (!register_it) return activex::UnregisterClassKeys(kPropPageClassId, kPropPageProgId);
  char name[128];
  LoadStringA(OrviXResources(), IDS_ORVIX_PPG, name, sizeof(name));
  activex::ClassKeys keys;
  keys.clsid = kPropPageClassId;
  keys.progid = kPropPageProgId;
  keys.type_name = name;
  keys.module_file = TheApp().FileName();
  return activex::RegisterClassKeys(keys);
}

}  // namespace locorvix
