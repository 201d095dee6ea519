#pragma once
// Type libraries: what a module says about its classes and interfaces, kept in the module's
// resources as a TYPELIB resource (number 1) in a compact text form of ours
// (typelib_format.h), or in a file of that form.
//
// LoadTypeLib reads one (a module's file: its resource; any other file: the text itself);
// RegisterTypeLib writes it under HKEY_CLASSES_ROOT as Windows does (TypeLib\{libid}\<major>.
// <minor> with its name, 0\win32 = the file, FLAGS and HELPDIR; Interface\{iid} for every
// dispatch interface, with its name, proxy-stub class and TypeLib); UnRegisterTypeLib takes
// those keys away again, TYPE_E_REGISTRYACCESS when the library is not registered.
//
// ITypeLib and ITypeInfo keep the Windows method order; the members of interfaces are not
// described (GetFuncDesc and GetVarDesc answer E_NOTIMPL, GetIDsOfNames knows no name), which
// is all the interfaces without methods or properties that the shells declare need.

#include "platform/com/oleauto.h"

#pragma GCC visibility push(default)

struct ITypeLib;
struct ITypeComp;
struct FUNCDESC;
struct VARDESC;
using HREFTYPE = DWORD;
using INVOKEKIND = int;

enum SYSKIND { SYS_WIN16 = 0, SYS_WIN32 = 1, SYS_MAC = 2, SYS_WIN64 = 3 };
enum TYPEKIND {
  TKIND_ENUM = 0,
  TKIND_RECORD = 1,
  TKIND_MODULE = 2,
  TKIND_INTERFACE = 3,
  TKIND_DISPATCH = 4,
  TKIND_COCLASS = 5,
  TKIND_ALIAS = 6,
  TKIND_UNION = 7,
  TKIND_MAX = 8
};

constexpr int IMPLTYPEFLAG_FDEFAULT = 0x1;
constexpr int IMPLTYPEFLAG_FSOURCE = 0x2;
constexpr MEMBERID MEMBERID_NIL = -1;

#define TYPE_E_INVDATAREAD static_cast<HRESULT>(0x80028018)
#define TYPE_E_REGISTRYACCESS static_cast<HRESULT>(0x8002801C)
#define TYPE_E_ELEMENTNOTFOUND static_cast<HRESULT>(0x8002802B)
#define TYPE_E_CANTLOADLIBRARY static_cast<HRESULT>(0x80029C4A)

extern const IID IID_ITypeInfo;
extern const IID IID_ITypeLib;

struct TLIBATTR {
  GUID guid;
  LCID lcid;
  SYSKIND syskind;
  WORD wMajorVerNum;
  WORD wMinorVerNum;
  WORD wLibFlags;
};

// Windows's TYPEATTR up to the version numbers (no alias or IDL descriptions).
struct TYPEATTR {
  GUID guid;
  LCID lcid;
  DWORD dwReserved;
  MEMBERID memidConstructor;
  MEMBERID memidDestructor;
  LPOLESTR lpstrSchema;
  ULONG cbSizeInstance;
  TYPEKIND typekind;
  WORD cFuncs;
  WORD cVars;
  WORD cImplTypes;
  WORD cbSizeVft;
  WORD cbAlignment;
  WORD wTypeFlags;
  WORD wMajorVerNum;
  WORD wMinorVerNum;
};

struct ITypeInfo : IUnknown {
  virtual HRESULT GetTypeAttr(TYPEATTR** attr) = 0;
  virtual HRESULT GetTypeComp(ITypeComp** comp) = 0;
  virtual HRESULT GetFuncDesc(UINT index, FUNCDESC** desc) = 0;
  virtual HRESULT GetVarDesc(UINT index, VARDESC** desc) = 0;
  virtual HRESULT GetNames(MEMBERID id, BSTR* names, UINT max, UINT* count) = 0;
  virtual HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* type) = 0;
  virtual HRESULT GetImplTypeFlags(UINT index, INT* flags) = 0;
  virtual HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) = 0;
  virtual HRESULT Invoke(void* instance, MEMBERID id, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* exception, UINT* arg_error) = 0;
  virtual HRESULT GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* help_context,
                                   BSTR* help_file) = 0;
  virtual HRESULT GetDllEntry(MEMBERID id, INVOKEKIND kind, BSTR* dll, BSTR* name,
                              WORD* ordinal) = 0;
  virtual HRESULT GetRefTypeInfo(HREFTYPE type, ITypeInfo** info) = 0;
  virtual HRESULT AddressOfMember(MEMBERID id, INVOKEKIND kind, void** address) = 0;
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out) = 0;
  virtual HRESULT GetMops(MEMBERID id, BSTR* mops) = 0;
  virtual HRESULT GetContainingTypeLib(ITypeLib** lib, UINT* index) = 0;
  virtual void ReleaseTypeAttr(TYPEATTR* attr) = 0;
  virtual void ReleaseFuncDesc(FUNCDESC* desc) = 0;
  virtual void ReleaseVarDesc(VARDESC* desc) = 0;
};

struct ITypeLib : IUnknown {
  virtual UINT GetTypeInfoCount() = 0;
  virtual HRESULT GetTypeInfo(UINT index, ITypeInfo** info) = 0;
  virtual HRESULT GetTypeInfoType(UINT index, TYPEKIND* kind) = 0;
  virtual HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** info) = 0;
  virtual HRESULT GetLibAttr(TLIBATTR** attr) = 0;
  virtual HRESULT GetTypeComp(ITypeComp** comp) = 0;
  // `index` -1 documents the library itself.
  virtual HRESULT GetDocumentation(INT index, BSTR* name, BSTR* doc, DWORD* help_context,
                                   BSTR* help_file) = 0;
  virtual HRESULT IsName(LPOLESTR name, ULONG hash, BOOL* found) = 0;
  virtual HRESULT FindName(LPOLESTR name, ULONG hash, ITypeInfo** infos, MEMBERID* ids,
                           USHORT* found) = 0;
  virtual void ReleaseTLibAttr(TLIBATTR* attr) = 0;
};

// TYPE_E_CANTLOADLIBRARY when the file neither loads as a module with a TYPELIB resource nor
// reads as a type library; TYPE_E_INVDATAREAD when its text is not a well-formed one.
HRESULT LoadTypeLib(LPCOLESTR file, ITypeLib** lib);
// `file` is the path written as the library's place; `help_dir` (may be null) its HELPDIR,
// the file's folder when null.
HRESULT RegisterTypeLib(ITypeLib* lib, LPCOLESTR file, LPCOLESTR help_dir);
HRESULT UnRegisterTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid, SYSKIND syskind);

#pragma GCC visibility pop
