#pragma once

// Building, stuffing, extracting and parsing signaling frames. Pure functions over bytes:
// nothing here touches a socket, so the receive side can be fuzzed directly.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "signaling/msg_object.h"
#include "signaling/wire_format.h"

namespace sigbus {

// Writes the XML document of msg into out (at most kDocumentCapacity - 1 characters).
// Returns false, leaving out unspecified, when the document does not fit.
bool write_document(const vq_msg& msg, std::string& out);

// Fills frame.frame with the header and document of msg; false (valid unset) when the
// document does not fit.
bool build_frame(const vq_msg& msg, std::uint32_t sequence, wire_frame& frame);

// Writes the checksum and the stuffed form into frame.stuffed. False, with nothing to send,
// when the stuffed form would exceed kFrameCapacity bytes.
bool stuff_frame(wire_frame& frame);

// Appends received bytes to the assembler; bytes beyond its capacity are dropped.
// Returns how many were kept.
std::size_t append_received(frame_assembler& assembler, const std::uint8_t* data, std::size_t size);

// Takes the next frame out of the assembler. True when a frame with a matching checksum was
// extracted into frame; false when none is complete, or when the one taken out was corrupt.
bool extract_frame(frame_assembler& assembler, wire_frame& frame);

// Builds a new message from a valid frame, or nothing when its document has no attribute.
std::unique_ptr<vq_msg> parse_frame(const wire_frame& frame);

// The protocol number that build_frame writes for msg.
std::uint16_t frame_proto_no(const vq_msg& msg);

}  // namespace sigbus
