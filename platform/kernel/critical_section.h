#pragma once
// Critical sections: recursive locks, entered again by the thread that holds them.
// The record only points at the lock; InitializeCriticalSection creates it and
// DeleteCriticalSection frees it (a record must be initialised once and deleted once).

#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

struct CRITICAL_SECTION {
  void* impl;
};

void InitializeCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);

#pragma GCC visibility pop
