#pragma once

// The signaling message object. A vq_msg holds two ordered maps of text keys to text
// values: the header map (local annotations that never travel; the transport fills it on
// every message it hands to the application) and the frame map (what travels). The frame
// keys "MessageType", "MessageDir" and "proto_no" are reserved for the wire format.
//
// Ownership: a message belongs to its creator until it is given to vq_send. Texts returned
// by getters point into the message and stay valid until that entry changes or the message
// is released. A message has no lock: use it from one thread at a time.

#include <map>
#include <string>

#include "signaling/sigbus_export.h"

struct vq_msg;

SIGBUS_EXPORT vq_msg* vq_msg_create(const char* dir, const char* type);
SIGBUS_EXPORT void vq_msg_release(vq_msg* msg);

SIGBUS_EXPORT const char* vq_msg_get_header_string(vq_msg* msg, const char* key);
SIGBUS_EXPORT int vq_msg_get_header_int(vq_msg* msg, const char* key);
SIGBUS_EXPORT void vq_msg_set_header_string(vq_msg* msg, const char* key, const char* value);
SIGBUS_EXPORT void vq_msg_set_header_int(vq_msg* msg, const char* key, int value);
SIGBUS_EXPORT bool vq_msg_header_exist(vq_msg* msg, const char* key);

SIGBUS_EXPORT const char* vq_msg_get_frame_string(vq_msg* msg, const char* key);
SIGBUS_EXPORT int vq_msg_get_frame_int(vq_msg* msg, const char* key);
SIGBUS_EXPORT void vq_msg_set_frame_string(vq_msg* msg, const char* key, const char* value);
SIGBUS_EXPORT void vq_msg_set_frame_int(vq_msg* msg, const char* key, int value);
SIGBUS_EXPORT bool vq_msg_frame_exist(vq_msg* msg, const char* key);

SIGBUS_EXPORT const char* vq_msg_get_frame_type(vq_msg* msg);
SIGBUS_EXPORT void vq_msg_set_frame_type(vq_msg* msg, const char* type);
SIGBUS_EXPORT const char* vq_msg_get_frame_dir(vq_msg* msg);
SIGBUS_EXPORT void vq_msg_set_frame_dir(vq_msg* msg, const char* dir);
// "proto_no" read with atoi and taken modulo 65536; 0 when absent.
SIGBUS_EXPORT unsigned short vq_msg_get_frame_proto_no(vq_msg* msg);
SIGBUS_EXPORT void vq_msg_set_frame_proto_no(vq_msg* msg, unsigned short no);

// Copies of the whole frame map, reserved keys included.
SIGBUS_EXPORT std::map<std::string, std::string> vq_msg_get_frame(vq_msg* msg);
SIGBUS_EXPORT void vq_msg_set_frame(vq_msg* msg, const std::map<std::string, std::string>& frame);

// Writes "key:value\n" for every header entry, then every frame entry, NUL-terminated.
// With buf null: returns the length the text needs (without NUL). Otherwise returns the
// length written, or -1 when the next line does not fit (buf must be at least length + 2).
SIGBUS_EXPORT int vq_msg_stringify(vq_msg* msg, char* buf, unsigned int len);
