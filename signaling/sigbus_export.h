#pragma once

// Marks the functions that libsigbus.so exports; everything else stays hidden.
#define SIGBUS_EXPORT __attribute__((visibility("default")))
