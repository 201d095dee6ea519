#pragma once
// The kernel family in one include: handles and waits, events, threads, critical sections,
// thread message queues, time, last error, modules and loading them.

#include "platform/kernel/clock.h"
#include "platform/kernel/critical_section.h"
#include "platform/kernel/event.h"
#include "platform/kernel/handle.h"
#include "platform/kernel/last_error.h"
#include "platform/kernel/library.h"
#include "platform/kernel/message_queue.h"
#include "platform/kernel/module.h"
#include "platform/kernel/thread.h"
#include "platform/kernel/win_types.h"
