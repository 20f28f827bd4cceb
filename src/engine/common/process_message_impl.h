// Process messages and their argument lists, and their form on the wire: a WebKit user message
// named like the message, whose parameters are the frame's identifier and a GVariant "a(yv)"
// (type tag, value; strings as UTF-8 bytes "ay" that keep NUL and lone surrogates, and, as
// sent before, UTF-16 units "aq" are read too). Single thread per object.
#ifndef QVEX_ENGINE_COMMON_PROCESS_MESSAGE_IMPL_H_
#define QVEX_ENGINE_COMMON_PROCESS_MESSAGE_IMPL_H_

#include <glib.h>

#include "include/cef_process_message.h"

namespace qvex_engine {

// A new floating GVariant holding the message's arguments.
GVariant* ArgumentsToVariant(CefRefPtr<CefListValue> arguments);

// A message named `name` with the arguments of `parameters` (null or a wrong type gives an
// empty list; unknown tags become null entries).
CefRefPtr<CefProcessMessage> MessageFromVariant(const std::string& name, GVariant* parameters);

// A message between the processes is about one frame: "(xa(yv))", the frame's identifier (the
// frame that sent it, or the frame it is for), then the arguments.
GVariant* FrameMessageToVariant(int64_t frame_id, CefRefPtr<CefListValue> arguments);
// The message and its frame; parameters of any other form give an empty message and frame 0.
CefRefPtr<CefProcessMessage> FrameMessageFromVariant(const std::string& name,
                                                     GVariant* parameters, int64_t* frame_id);

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_COMMON_PROCESS_MESSAGE_IMPL_H_
