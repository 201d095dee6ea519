#pragma once
// The registry: HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and HKEY_CLASSES_ROOT with the key and
// value calls of the Windows API, under their names, constants and result codes. The keys
// last: they are kept in files (platform/registry/hive_store.h tells where and how a change
// reaches them whole, whatever happens to the process). Every call reads the hive as it is on
// disk now, so a change made by another process is seen at once.
//
// HKEY_CLASSES_ROOT is the merged view of HKEY_CURRENT_USER\Software\Classes over
// HKEY_LOCAL_MACHINE\Software\Classes: a key is opened in the user's hive when it exists
// there and in the machine's otherwise; a key created through it is created in the machine's;
// enumeration lists the keys of both.
//
// The calls return a Windows error code (ERROR_SUCCESS, or ERROR_FILE_NOT_FOUND,
// ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED, ERROR_MORE_DATA, ERROR_NO_MORE_ITEMS,
// ERROR_KEY_DELETED, ERROR_BADDB for a hive file that does not parse, ERROR_CANTWRITE...)
// and do not set the last error, as Windows does. Threads: any; a handle may be shared.

#include "platform/kernel/last_error.h"
#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;
using LSTATUS = LONG;
using LPDWORD = DWORD*;
using LPBYTE = BYTE*;

#ifndef ORVIX_FILETIME_DEFINED
#define ORVIX_FILETIME_DEFINED
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
#endif
using PFILETIME = FILETIME*;
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

#define HKEY_CLASSES_ROOT reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u))
#define HKEY_CURRENT_USER reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u))
#define HKEY_LOCAL_MACHINE reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u))

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_EXECUTE = KEY_READ;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_BADDB = 1009;
constexpr LONG ERROR_BADKEY = 1010;
constexpr LONG ERROR_CANTOPEN = 1011;
constexpr LONG ERROR_CANTREAD = 1012;
constexpr LONG ERROR_CANTWRITE = 1013;
constexpr LONG ERROR_KEY_DELETED = 1018;

// Opens `sub_key` of `key` (null or "": the key itself, a new handle), creating it and its
// missing parents first. *disposition (may be null) tells REG_CREATED_NEW_KEY or
// REG_OPENED_EXISTING_KEY. `key` must allow KEY_CREATE_SUB_KEY when something is created.
LSTATUS RegCreateKeyExA(HKEY key, LPCSTR sub_key, DWORD reserved, LPSTR key_class, DWORD options,
                        REGSAM desired, LPSECURITY_ATTRIBUTES security, PHKEY result,
                        LPDWORD disposition);
// ERROR_FILE_NOT_FOUND when `sub_key` does not exist. The handle allows `desired` access.
LSTATUS RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD options, REGSAM desired, PHKEY result);
LSTATUS RegCloseKey(HKEY key);
// Stores `size` bytes of `data` as they are: a REG_SZ caller counts the terminating NUL.
// Null or "" `name` is the key's default value. Needs KEY_SET_VALUE.
LSTATUS RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                       DWORD size);
// *type (may be null) gets the type. With `data` null, *size gets the value's length; else
// *size is the buffer's length in and the value's out, ERROR_MORE_DATA when it is too short
// (nothing copied). Needs KEY_QUERY_VALUE.
LSTATUS RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD size);
LSTATUS RegDeleteValueA(HKEY key, LPCSTR name);
// Deletes `sub_key`, which must have no subkeys (ERROR_ACCESS_DENIED otherwise).
LSTATUS RegDeleteKeyA(HKEY key, LPCSTR sub_key);
// The name of the `index`th subkey in name order. *name_length is the buffer's length in
// characters in and the name's (without its NUL) out; ERROR_MORE_DATA when it does not fit,
// ERROR_NO_MORE_ITEMS past the last. Key classes and times are not kept: a non-null
// *class_length is set to 0 and `last_write` to zero. Needs KEY_ENUMERATE_SUB_KEYS.
LSTATUS RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD name_length, LPDWORD reserved,
                      LPSTR key_class, LPDWORD class_length, PFILETIME last_write);
// The `index`th value in name order, with name (as RegEnumKeyExA) and data (as
// RegQueryValueExA; `data` and `size` may both be null). Needs KEY_QUERY_VALUE.
LSTATUS RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD name_length, LPDWORD reserved,
                      LPDWORD type, LPBYTE data, LPDWORD size);
// Deletes `sub_key` with everything below it, in one change. `key` itself cannot be deleted
// this way (`sub_key` must name a key below it).
LSTATUS SHDeleteKeyA(HKEY key, LPCSTR sub_key);

#pragma GCC visibility pop
