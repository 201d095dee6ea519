#pragma once
// MD5 (RFC 1321), for Digest authentication only: it is no protection for anything else.

#include <string>
#include <string_view>

// The digest of `data` as 32 lower-case hexadecimal digits.
std::string Md5Hex(std::string_view data);
