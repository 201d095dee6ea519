#pragma once
// Text conversion between code pages: MultiByteToWideChar and WideCharToMultiByte. The
// program's own code page (CP_ACP) is GBK, as on the Chinese systems the viewer was made for;
// CP_UTF8 is what the desktop gives and file names carry. WCHAR is UTF-16.

#include "platform/kernel/last_error.h"
#include "platform/kernel/win_types.h"

constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x08;
constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;

#pragma GCC visibility push(default)

using WCHAR = char16_t;

// `in_bytes` of -1 converts up to and including the terminating NUL. With `out_chars` 0 the
// size needed is returned and nothing written. 0 on failure, with the last error set
// (ERROR_INSUFFICIENT_BUFFER, ERROR_NO_UNICODE_TRANSLATION, ERROR_INVALID_PARAMETER).
// A broken sequence becomes U+FFFD, or fails the call under MB_ERR_INVALID_CHARS; a character
// the code page lacks becomes `default_char` ("?" when null) and sets *used_default.
int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR in, int in_bytes, WCHAR* out,
                        int out_chars);
int WideCharToMultiByte(UINT code_page, DWORD flags, const WCHAR* in, int in_chars, char* out,
                        int out_bytes, LPCSTR default_char, BOOL* used_default);

#pragma GCC visibility pop
