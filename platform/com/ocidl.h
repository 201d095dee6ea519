#pragma once
// The interfaces between a container (the host) and a windowed control: persistence through a
// property bag, safety for scripting, and the OLE object, in-place and control interfaces
// that activate the control in a window of the container. Only the methods the host and the
// shell use carry behaviour; every interface keeps the Windows method order.
//
// How the host activates a control: CoCreateInstance; IObjectSafety to make sure the control
// is safe for untrusted callers and data; IPersistPropertyBag::Load with the page's params;
// IOleObject::SetClientSite, then DoVerb(OLEIVERB_INPLACEACTIVATE) with the parent window and
// the rectangle (the control makes its window there); IOleInPlaceObject::SetObjectRects on
// resize; to remove it, IOleInPlaceObject::InPlaceDeactivate (the window is destroyed),
// IOleObject::Close and SetClientSite(null), and the last Release.

#include "platform/com/oleauto.h"
#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

struct IMoniker;
struct IOleContainer;
struct IDataObject;
struct IEnumOLEVERB;
struct IAdviseSink;
struct IEnumSTATDATA;
struct IOleInPlaceFrame;
struct IOleInPlaceUIWindow;
struct LOGPALETTE;
struct OLEINPLACEFRAMEINFO;
struct HACCEL__;
using HACCEL = HACCEL__*;
using LPCRECT = const RECT*;
using LPRECT = RECT*;
using LPMSG = MSG*;

struct SIZEL {
  LONG cx;
  LONG cy;
};

struct CAUUID {
  ULONG cElems;
  GUID* pElems;  // CoTaskMemAlloc'ed; the caller frees it
};

struct CONTROLINFO {
  ULONG cb;
  HACCEL hAccel;
  USHORT cAccel;
  DWORD dwFlags;
};

constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_CALLER = 0x1;
constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_DATA = 0x2;

constexpr LONG OLEIVERB_PRIMARY = 0;
constexpr LONG OLEIVERB_SHOW = -1;
constexpr LONG OLEIVERB_HIDE = -3;
constexpr LONG OLEIVERB_UIACTIVATE = -4;
constexpr LONG OLEIVERB_INPLACEACTIVATE = -5;

constexpr DWORD OLECLOSE_SAVEIFDIRTY = 0;
constexpr DWORD OLECLOSE_NOSAVE = 1;

constexpr DWORD DVASPECT_CONTENT = 1;

constexpr DWORD OLEMISC_RECOMPOSEONRESIZE = 0x1;
constexpr DWORD OLEMISC_CANTLINKINSIDE = 0x10;
constexpr DWORD OLEMISC_INSIDEOUT = 0x80;
constexpr DWORD OLEMISC_ACTIVATEWHENVISIBLE = 0x100;
constexpr DWORD OLEMISC_SETCLIENTSITEFIRST = 0x20000;

#define OLE_E_NOT_INPLACEACTIVE static_cast<HRESULT>(0x80040010)
#define OLEOBJ_E_NOVERBS static_cast<HRESULT>(0x80040180)

extern const IID IID_IPersist;
extern const IID IID_IPersistPropertyBag;
extern const IID IID_IPropertyBag;
extern const IID IID_IErrorLog;
extern const IID IID_IObjectSafety;
extern const IID IID_IOleObject;
extern const IID IID_IOleClientSite;
extern const IID IID_IOleWindow;
extern const IID IID_IOleInPlaceObject;
extern const IID IID_IOleInPlaceActiveObject;
extern const IID IID_IOleInPlaceSite;
extern const IID IID_IOleControl;
extern const IID IID_ISpecifyPropertyPages;

struct IErrorLog : IUnknown {
  virtual HRESULT AddError(LPCOLESTR property, EXCEPINFO* error) = 0;
};

// The container's params. Read gives the value in the type `*value` asks for (VT_EMPTY: as
// the container keeps it, VT_BSTR for a page's params); E_INVALIDARG when there is none.
struct IPropertyBag : IUnknown {
  virtual HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) = 0;
  virtual HRESULT Write(LPCOLESTR name, VARIANT* value) = 0;
};

struct IPersist : IUnknown {
  virtual HRESULT GetClassID(CLSID* clsid) = 0;
};

struct IPersistPropertyBag : IPersist {
  virtual HRESULT InitNew() = 0;
  virtual HRESULT Load(IPropertyBag* bag, IErrorLog* log) = 0;
  virtual HRESULT Save(IPropertyBag* bag, BOOL clear_dirty, BOOL save_all) = 0;
};

struct IObjectSafety : IUnknown {
  virtual HRESULT GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) = 0;
  virtual HRESULT SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) = 0;
};

struct IOleClientSite : IUnknown {
  virtual HRESULT SaveObject() = 0;
  virtual HRESULT GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) = 0;
  virtual HRESULT GetContainer(IOleContainer** container) = 0;
  virtual HRESULT ShowObject() = 0;
  virtual HRESULT OnShowWindow(BOOL show) = 0;
  virtual HRESULT RequestNewObjectLayout() = 0;
};

struct IOleObject : IUnknown {
  virtual HRESULT SetClientSite(IOleClientSite* site) = 0;
  virtual HRESULT GetClientSite(IOleClientSite** site) = 0;
  virtual HRESULT SetHostNames(LPCOLESTR app, LPCOLESTR object) = 0;
  virtual HRESULT Close(DWORD save_option) = 0;
  virtual HRESULT SetMoniker(DWORD which, IMoniker* moniker) = 0;
  virtual HRESULT GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) = 0;
  virtual HRESULT InitFromData(IDataObject* data, BOOL creation, DWORD reserved) = 0;
  virtual HRESULT GetClipboardData(DWORD reserved, IDataObject** data) = 0;
  virtual HRESULT DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent,
                         LPCRECT position) = 0;
  virtual HRESULT EnumVerbs(IEnumOLEVERB** verbs) = 0;
  virtual HRESULT Update() = 0;
  virtual HRESULT IsUpToDate() = 0;
  virtual HRESULT GetUserClassID(CLSID* clsid) = 0;
  virtual HRESULT GetUserType(DWORD form, LPOLESTR* type) = 0;
  virtual HRESULT SetExtent(DWORD aspect, SIZEL* size) = 0;
  virtual HRESULT GetExtent(DWORD aspect, SIZEL* size) = 0;
  virtual HRESULT Advise(IAdviseSink* sink, DWORD* connection) = 0;
  virtual HRESULT Unadvise(DWORD connection) = 0;
  virtual HRESULT EnumAdvise(IEnumSTATDATA** advise) = 0;
  virtual HRESULT GetMiscStatus(DWORD aspect, DWORD* status) = 0;
  virtual HRESULT SetColorScheme(LOGPALETTE* palette) = 0;
};

struct IOleWindow : IUnknown {
  virtual HRESULT GetWindow(HWND* window) = 0;
  virtual HRESULT ContextSensitiveHelp(BOOL enter) = 0;
};

struct IOleInPlaceObject : IOleWindow {
  virtual HRESULT InPlaceDeactivate() = 0;
  virtual HRESULT UIDeactivate() = 0;
  virtual HRESULT SetObjectRects(LPCRECT position, LPCRECT clip) = 0;
  virtual HRESULT ReactivateAndUndo() = 0;
};

struct IOleInPlaceActiveObject : IOleWindow {
  virtual HRESULT TranslateAccelerator(LPMSG msg) = 0;
  virtual HRESULT OnFrameWindowActivate(BOOL active) = 0;
  virtual HRESULT OnDocWindowActivate(BOOL active) = 0;
  virtual HRESULT ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) = 0;
  virtual HRESULT EnableModeless(BOOL enable) = 0;
};

struct IOleInPlaceSite : IOleWindow {
  virtual HRESULT CanInPlaceActivate() = 0;
  virtual HRESULT OnInPlaceActivate() = 0;
  virtual HRESULT OnUIActivate() = 0;
  virtual HRESULT GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                   LPRECT position, LPRECT clip, OLEINPLACEFRAMEINFO* info) = 0;
  virtual HRESULT Scroll(SIZEL extent) = 0;
  virtual HRESULT OnUIDeactivate(BOOL undoable) = 0;
  virtual HRESULT OnInPlaceDeactivate() = 0;
  virtual HRESULT DiscardUndoState() = 0;
  virtual HRESULT DeactivateAndUndo() = 0;
  virtual HRESULT OnPosRectChange(LPCRECT position) = 0;
};

struct IOleControl : IUnknown {
  virtual HRESULT GetControlInfo(CONTROLINFO* info) = 0;
  virtual HRESULT OnMnemonic(LPMSG msg) = 0;
  virtual HRESULT OnAmbientPropertyChange(DISPID id) = 0;
  virtual HRESULT FreezeEvents(BOOL freeze) = 0;
};

struct ISpecifyPropertyPages : IUnknown {
  virtual HRESULT GetPages(CAUUID* pages) = 0;
};

#pragma GCC visibility pop
