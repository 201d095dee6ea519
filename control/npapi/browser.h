#pragma once
// The browser's functions as the plug-in keeps them: a copy of the table NP_Initialize was
// given. Only the browser's thread calls them.

#include "platform/npapi/npapi.h"

namespace control::npapi {

// The copy; all entries null before NP_Initialize.
NPNetscapeFuncs& Browser();
void KeepBrowser(const NPNetscapeFuncs& table);

// A variant holding an NPN_MemAlloc copy of `text`, as results handed to the browser must be.
bool StringResult(const char* text, NPVariant* result);

}  // namespace control::npapi
