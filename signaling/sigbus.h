#pragma once

// The whole interface of libsigbus: messages, builders and transport.

#include "signaling/vq_builders.h"
#include "signaling/vq_io.h"
#include "signaling/vq_msg.h"
