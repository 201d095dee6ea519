#pragma once
// How the scriptable object reads its arguments: numbers given as integers, doubles or
// decimal texts, and texts cut at their last "=" (pages end such values with "=").

#include <optional>
#include <string>

#include "platform/npapi/npapi.h"

namespace control::npapi {

// The text of a string argument with the "=" rule: a text that has "=" after its first
// character keeps only what is before its last "="; any other is kept whole.
std::string ArgumentText(const NPString& text);

// An integer, a double (cut towards zero) or a string that holds a decimal number; nullopt
// for anything else.
std::optional<int32_t> ArgumentNumber(const NPVariant& arg);

// As ArgumentNumber, but a double is not accepted ("Add").
std::optional<int32_t> ArgumentInteger(const NPVariant& arg);

}  // namespace control::npapi
