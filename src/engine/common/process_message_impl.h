// Process messages and their argument lists, and their form on the wire: a WebKit user message
// named like the message, whose parameters are the frame's identifier and the arguments in
// the form below. Single thread per object.
#ifndef QVEX_ENGINE_COMMON_PROCESS_MESSAGE_IMPL_H_
#define QVEX_ENGINE_COMMON_PROCESS_MESSAGE_IMPL_H_

#include <glib.h>

#include <cstdint>
#include <string>

#include "include/cef_process_message.h"

namespace qvex_engine {

// The arguments on the wire: one block of bytes (GVariant "ay"), so a message costs GLib one
// value however many arguments it has (version 1, one variant per argument, cost more than
// WebKit's whole round trip) and a string is one run of bytes. Host byte order (both ends are
// the same build on one machine):
//   version (1 byte, kWireVersion) [frame id (8 bytes), frame messages only]
//   argument count (4 bytes), then per argument its cef_value_type_t tag (1 byte) and value:
//   null nothing, bool 1 byte (0 or 1), int 4 bytes, double 8 bytes, string its UTF-8 byte
//   length (4 bytes) and the bytes (lone surrogates as their 3-byte sequences, NUL as a byte).
// Anything else (another version, an unknown tag, a value cut short, bytes left over, more than
// kMaxArguments) is refused as a whole.
constexpr uint8_t kWireVersion = 2;
constexpr size_t kMaxArguments = 1 << 16;  // No message of ours comes near it.

// A new floating GVariant holding the message's arguments.
GVariant* ArgumentsToVariant(CefRefPtr<CefListValue> arguments);

// A message named `name` with the arguments of `parameters`; bytes of any other form give an
// empty list.
CefRefPtr<CefProcessMessage> MessageFromVariant(const std::string& name, GVariant* parameters);

// A message between the processes is about one frame: the frame's identifier (the frame that
// sent it, or the frame it is for), then the arguments.
GVariant* FrameMessageToVariant(int64_t frame_id, CefRefPtr<CefListValue> arguments);
// The message and its frame; parameters of any other form give an empty message and frame 0.
CefRefPtr<CefProcessMessage> FrameMessageFromVariant(const std::string& name,
                                                     GVariant* parameters, int64_t* frame_id);

// A frame message's bytes written value by value: the same bytes FrameMessageToVariant writes
// for a list of those values, without the list (the message router's answers and queries go
// this way). The values must come to `argument_count`.
class FrameMessageWriter {
 public:
  FrameMessageWriter(int64_t frame_id, uint32_t argument_count);
  ~FrameMessageWriter();
  FrameMessageWriter(const FrameMessageWriter&) = delete;
  FrameMessageWriter& operator=(const FrameMessageWriter&) = delete;

  FrameMessageWriter& AddBool(bool value);
  FrameMessageWriter& AddInt(int value);
  FrameMessageWriter& AddString(const CefString& value);
  // A new floating GVariant with the bytes; nothing may be written after it.
  GVariant* Finish();

 private:
  std::string* bytes_;  // Handed to the GVariant by Finish.
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_COMMON_PROCESS_MESSAGE_IMPL_H_
