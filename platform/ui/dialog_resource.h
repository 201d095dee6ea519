#pragma once
// A module's resources: dialog templates and strings, compiled into the module at build time
// from a readable source (see dialog_rc.h and the CMake function orvix_resources).
//
// A module's resources are one ResourceModule; the generated source registers it when first
// asked for its instance handle. A module's handle is what DialogBoxParamA, CreateDialogParamA
// and LoadStringA take; a null handle searches every registered module. The data is static
// and lives as long as the program.

#include <cstddef>

#include "platform/ui/controls_common.h"

#pragma GCC visibility push(default)

namespace platform::ui {

// Positions and sizes are in dialog units.
struct DialogItemTemplate {
  const char* class_name;  // "BUTTON", "EDIT", ... or any registered class
  const char* text;        // in the program's code page
  int id;
  DWORD style;  // WS_CHILD is added
  DWORD ex_style;
  short x, y, cx, cy;
};

struct DialogTemplate {
  int id;            // the numeric name, or 0 when the dialog is named by `name`
  const char* name;  // null for numbered dialogs
  DWORD style;
  DWORD ex_style;
  short x, y, cx, cy;
  const char* caption;
  const char* font_face;  // null: the stock GUI font
  int font_points;
  const DialogItemTemplate* items;
  int item_count;
};

struct StringResource {
  int id;
  const char* text;
};

struct BitmapResource {
  int id;
  const unsigned char* data;  // a whole BMP file
  size_t size;
};

// Any other file embedded whole, found by type name and id (FindResourceA).
struct DataResource {
  const char* type;  // "TYPELIB", "RCDATA"
  int id;
  const unsigned char* data;
  size_t size;
};

struct ResourceModule {
  const char* name;
  const DialogTemplate* dialogs;
  int dialog_count;
  const StringResource* strings;
  int string_count;
  const BitmapResource* bitmaps;
  int bitmap_count;
  const DataResource* data;
  int data_count;
};

// Registers the module once and gives its handle. The generated source registers it when
// the program or module that holds it is loaded, and withdraws it when it is unloaded; the
// loaded module's own handle (LoadLibraryA's) finds it too.
HINSTANCE RegisterResourceModule(const ResourceModule* module);
void UnregisterResourceModule(const ResourceModule* module);
// The template named MAKEINTRESOURCEA(id) or by its text; null when there is none.
const DialogTemplate* FindDialogTemplate(HINSTANCE instance, LPCSTR name);
// The BMP file of bitmap MAKEINTRESOURCEA(id); null when the modules have none (LoadBitmapA
// then looks for a file).
const BitmapResource* FindBitmapResource(HINSTANCE instance, LPCSTR name);

}  // namespace platform::ui

struct HRSRC__;
using HRSRC = HRSRC__*;
using HGLOBAL = void*;

// A data resource of `module` (a resource handle, the handle LoadLibraryA gave for the module
// that holds it, or null for any): MAKEINTRESOURCEA(id) and its type name. Null when absent.
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
// The resource's bytes stay where they are as long as their module is loaded.
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);

// Copies the string into `buffer` (cut to size - 1) and gives its length; 0 when absent.
// With size 0 it stores a pointer to the read-only string in *buffer, as Windows does.
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);

// Builds a dialog from a template held in memory rather than a module.
HWND CreateDialogIndirectParamA(HINSTANCE instance, const platform::ui::DialogTemplate* tmpl,
                                HWND parent, INT_PTR (*proc)(HWND, UINT, WPARAM, LPARAM),
                                LPARAM param);
INT_PTR DialogBoxIndirectParamA(HINSTANCE instance, const platform::ui::DialogTemplate* tmpl,
                                HWND owner, INT_PTR (*proc)(HWND, UINT, WPARAM, LPARAM),
                                LPARAM param);

#pragma GCC visibility pop
