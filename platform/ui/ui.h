#pragma once
// The window system, all in one include.

#include "platform/ui/input.h"
#include "platform/ui/message.h"
#include "platform/ui/paint.h"
#include "platform/ui/static_control.h"
#include "platform/ui/window.h"
