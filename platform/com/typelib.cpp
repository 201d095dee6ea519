// Type library objects over the compact form, and LoadTypeLib.
#include "platform/com/typelib.h"

#include <atomic>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/com/typelib_format.h"
#include "platform/com/wide_text.h"
#include "platform/kernel/library.h"
#include "platform/ui/dialog_resource.h"

const IID IID_ITypeInfo = {0x00020401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_ITypeLib = {0x00020402, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace platform::com {
namespace {

class TypeLib;

// Copies the documentation asked for; any out pointer may be null.
HRESULT Document(const std::string& name, const std::string& doc, const std::string& help,
                 BSTR* out_name, BSTR* out_doc, DWORD* context, BSTR* out_help) {
  if (out_name) *out_name = BstrFromUtf8(name);
  if (out_doc) *out_doc = doc.empty() ? nullptr : BstrFromUtf8(doc);
  if (context) *context = 0;
  if (out_help) *out_help = help.empty() ? nullptr : BstrFromUtf8(help);
  return S_OK;
}

class TypeInfo : public ITypeInfo {
 public:
  TypeInfo(TypeLib* lib, UINT index);
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_ITypeInfo) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT GetTypeAttr(TYPEATTR** attr) override;
  HRESULT GetTypeComp(ITypeComp**) override { return E_NOTIMPL; }
  HRESULT GetFuncDesc(UINT, FUNCDESC**) override { return E_NOTIMPL; }
  HRESULT GetVarDesc(UINT, VARDESC**) override { return E_NOTIMPL; }
  HRESULT GetNames(MEMBERID, BSTR*, UINT, UINT* count) override {
    if (count) *count = 0;
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* type) override;
  HRESULT GetImplTypeFlags(UINT index, INT* flags) override;
  HRESULT GetIDsOfNames(LPOLESTR*, UINT count, MEMBERID* ids) override {
    for (UINT i = 0; ids && i < count; ++i) ids[i] = MEMBERID_NIL;
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(void*, MEMBERID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* context, BSTR* help) override;
  HRESULT GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override {
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT GetRefTypeInfo(HREFTYPE type, ITypeInfo** info) override;
  HRESULT AddressOfMember(MEMBERID, INVOKEKIND, void**) override { return E_NOTIMPL; }
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  HRESULT GetMops(MEMBERID, BSTR* mops) override {
    if (mops) *mops = nullptr;
    return S_OK;
  }
  HRESULT GetContainingTypeLib(ITypeLib** lib, UINT* index) override;
  void ReleaseTypeAttr(TYPEATTR* attr) override { delete attr; }
  void ReleaseFuncDesc(FUNCDESC*) override {}
  void ReleaseVarDesc(VARDESC*) override {}

 private:
  const TypeEntry& Entry() const;
  TypeLib* lib_;  // holds a reference while this info lives
  const UINT index_;
  std::atomic<ULONG> refs_{1};
};

class TypeLib : public ITypeLib {
 public:
  explicit TypeLib(TypeLibrary data) : data_(std::move(data)) {}
  const TypeLibrary& data() const { return data_; }

  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_ITypeLib) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  UINT GetTypeInfoCount() override { return static_cast<UINT>(data_.entries.size()); }
  HRESULT GetTypeInfo(UINT index, ITypeInfo** info) override {
    if (!info) return E_INVALIDARG;
    *info = nullptr;
    if (index >= data_.entries.size()) return TYPE_E_ELEMENTNOTFOUND;
    *info = new TypeInfo(this, index);
    return S_OK;
  }
  HRESULT GetTypeInfoType(UINT index, TYPEKIND* kind) override {
    if (index >= data_.entries.size()) return TYPE_E_ELEMENTNOTFOUND;
    *kind = static_cast<TYPEKIND>(data_.entries[index].kind);
    return S_OK;
  }
  HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** info) override {
    for (UINT i = 0; i < data_.entries.size(); ++i) {
      if (data_.entries[i].guid == guid) return GetTypeInfo(i, info);
    }
    if (info) *info = nullptr;
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT GetLibAttr(TLIBATTR** attr) override {
    if (!attr) return E_INVALIDARG;
    *attr = new TLIBATTR{
        data_.guid, 0, SYS_WIN32, static_cast<WORD>(data_.major), static_cast<WORD>(data_.minor),
        0};
    return S_OK;
  }
  HRESULT GetTypeComp(ITypeComp**) override { return E_NOTIMPL; }
  HRESULT GetDocumentation(INT index, BSTR* name, BSTR* doc, DWORD* context, BSTR* help) override {
    if (index == -1)
      return Document(data_.name, data_.doc, data_.help_file, name, doc, context, help);
    if (index < 0 || static_cast<size_t>(index) >= data_.entries.size()) {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    const TypeEntry& e = data_.entries[static_cast<size_t>(index)];
    return Document(e.name, e.doc, data_.help_file, name, doc, context, help);
  }
  HRESULT IsName(LPOLESTR name, ULONG, BOOL* found) override {
    const std::string wanted = Utf8(name);
    *found = wanted == data_.name;
    for (const TypeEntry& e : data_.entries) *found = *found || e.name == wanted;
    return S_OK;
  }
  HRESULT FindName(LPOLESTR name, ULONG, ITypeInfo** infos, MEMBERID* ids, USHORT* found) override {
    const std::string wanted = Utf8(name);
    const USHORT room = *found;
    *found = 0;
    for (UINT i = 0; i < data_.entries.size() && *found < room; ++i) {
      if (data_.entries[i].name != wanted) continue;
      GetTypeInfo(i, &infos[*found]);
      ids[*found] = MEMBERID_NIL;
      ++*found;
    }
    return S_OK;
  }
  void ReleaseTLibAttr(TLIBATTR* attr) override { delete attr; }

 private:
  ~TypeLib() = default;
  const TypeLibrary data_;
  std::atomic<ULONG> refs_{1};
};

TypeInfo::TypeInfo(TypeLib* lib, UINT index) : lib_(lib), index_(index) { lib_->AddRef(); }

ULONG TypeInfo::AddRef() { return ++refs_; }

ULONG TypeInfo::Release() {
  const ULONG left = --refs_;
  if (left == 0) {
    lib_->Release();
    delete this;
  }
  return left;
}

const TypeEntry& TypeInfo::Entry() const { return lib_->data().entries[index_]; }

HRESULT TypeInfo::GetTypeAttr(TYPEATTR** attr) {
  if (!attr) return E_INVALIDARG;
  const TypeEntry& e = Entry();
  const WORD impls = static_cast<WORD>((e.default_interface >= 0) + (e.source_interface >= 0));
  *attr = new TYPEATTR{e.guid,
                       0,
                       0,
                       MEMBERID_NIL,
                       MEMBERID_NIL,
                       nullptr,
                       0,
                       static_cast<TYPEKIND>(e.kind),
                       0,
                       0,
                       impls,
                       static_cast<WORD>(e.kind == TKIND_DISPATCH ? 7 * sizeof(void*) : 0),
                       static_cast<WORD>(sizeof(void*)),
                       0,
                       static_cast<WORD>(lib_->data().major),
                       static_cast<WORD>(lib_->data().minor)};
  return S_OK;
}

// A coclass's implemented interfaces: the default one first, then the source one; the
// HREFTYPE is the entry's index in the library.
HRESULT TypeInfo::GetRefTypeOfImplType(UINT index, HREFTYPE* type) {
  const TypeEntry& e = Entry();
  int refs[2];
  int count = 0;
  if (e.default_interface >= 0) refs[count++] = e.default_interface;
  if (e.source_interface >= 0) refs[count++] = e.source_interface;
  if (index >= static_cast<UINT>(count)) return TYPE_E_ELEMENTNOTFOUND;
  *type = static_cast<HREFTYPE>(refs[index]);
  return S_OK;
}

HRESULT TypeInfo::GetImplTypeFlags(UINT index, INT* flags) {
  HREFTYPE type = 0;
  if (const HRESULT got = GetRefTypeOfImplType(index, &type); FAILED(got)) return got;
  *flags = static_cast<int>(type) == Entry().source_interface
               ? IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE
               : IMPLTYPEFLAG_FDEFAULT;
  return S_OK;
}

HRESULT TypeInfo::GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* context, BSTR* help) {
  if (id != MEMBERID_NIL) return TYPE_E_ELEMENTNOTFOUND;
  return Document(Entry().name, Entry().doc, lib_->data().help_file, name, doc, context, help);
}

HRESULT TypeInfo::GetRefTypeInfo(HREFTYPE type, ITypeInfo** info) {
  return lib_->GetTypeInfo(static_cast<UINT>(type), info);
}

HRESULT TypeInfo::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  if (Entry().kind != TKIND_COCLASS) return TYPE_E_ELEMENTNOTFOUND;
  return CoCreateInstance(Entry().guid, outer, CLSCTX_INPROC_SERVER, iid, out);
}

HRESULT TypeInfo::GetContainingTypeLib(ITypeLib** lib, UINT* index) {
  if (lib) {
    *lib = lib_;
    lib_->AddRef();
  }
  if (index) *index = index_;
  return S_OK;
}

// The library's text: the file itself when it is one, else a module's TYPELIB resource 1.
bool ReadLibraryText(const std::string& file, std::string* text) {
  std::ifstream in(file, std::ios::binary);
  if (in) {
    std::stringstream whole;
    whole << in.rdbuf();
    *text = whole.str();
    if (text->starts_with("orvix-typelib ")) return true;
  }
  if (HMODULE module = LoadLibraryA(file.c_str())) {
    HRSRC resource = FindResourceA(module, reinterpret_cast<LPCSTR>(1), "TYPELIB");
    const bool found = resource != nullptr;
    if (found) {
      const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, resource)));
      text->assign(bytes, SizeofResource(module, resource));
    }
    FreeLibrary(module);
    return found;
  }
  return false;
}

}  // namespace
}  // namespace platform::com

HRESULT LoadTypeLib(LPCOLESTR file, ITypeLib** lib) {
  if (!file || !lib) return E_INVALIDARG;
  *lib = nullptr;
  std::string text;
  if (!platform::com::ReadLibraryText(platform::com::Utf8(file), &text)) {
    return TYPE_E_CANTLOADLIBRARY;
  }
  std::optional<platform::com::TypeLibrary> data = platform::com::ParseTypeLibrary(text);
  if (!data) return TYPE_E_INVDATAREAD;
  *lib = new platform::com::TypeLib(std::move(*data));
  return S_OK;
}
