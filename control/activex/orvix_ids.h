#pragma once
// The identifiers and registration values of the ActiveX control module, fixed per build.

#include "platform/com/objbase.h"
#include "platform/com/ocidl.h"

namespace locorvix {

// {45714FD7-B8CA-491C-8C4E-FA7B09AA01E8} "OrviXLib" 1.0
constexpr GUID kTypeLibId = {
    0x45714FD7, 0xB8CA, 0x491C, {0x8C, 0x4E, 0xFA, 0x7B, 0x09, 0xAA, 0x01, 0xE8}};
constexpr WORD kTypeLibMajor = 1;
constexpr WORD kTypeLibMinor = 0;
// {CB680EE9-23A2-4902-AF84-1EAD2FC576FC} "_DOrviX"
constexpr IID kDispatchId = {
    0xCB680EE9, 0x23A2, 0x4902, {0xAF, 0x84, 0x1E, 0xAD, 0x2F, 0xC5, 0x76, 0xFC}};
// {CDA539BA-29A8-4846-B4DF-40056D57BCB0} "_DOrviXEvents"
constexpr IID kEventsId = {
    0xCDA539BA, 0x29A8, 0x4846, {0xB4, 0xDF, 0x40, 0x05, 0x6D, 0x57, 0xBC, 0xB0}};
// {E30E886F-1176-4F02-A0E0-387B2027076F} "OrviX"
constexpr CLSID kControlClassId = {
    0xE30E886F, 0x1176, 0x4F02, {0xA0, 0xE0, 0x38, 0x7B, 0x20, 0x27, 0x07, 0x6F}};
// {89BC02E5-ACE7-4367-82EF-AD6BACB47DB8} the property page
constexpr CLSID kPropPageClassId = {
    0x89BC02E5, 0xACE7, 0x4367, {0x82, 0xEF, 0xAD, 0x6B, 0xAC, 0xB4, 0x7D, 0xB8}};

constexpr char kControlProgId[] = "ORVIX.LocOrviXCtrl.1";
constexpr char kPropPageProgId[] = "ORVI.OrviPropPage.1";

// Activate when visible, set client site first, inside-out, cannot link inside, recompose on
// resize: 0x20191.
constexpr DWORD kMiscStatus = OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST |
                              OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
                              OLEMISC_RECOMPOSEONRESIZE;
static_assert(kMiscStatus == 0x20191);

}  // namespace locorvix
