// The message router's process messages: names and argument layout of queries, cancellations
// and responses, with strict decoding (a message from the other process is untrusted input).
// Plain values; any thread.
#ifndef QVEX_ENGINE_COMMON_MESSAGE_ROUTER_WIRE_H_
#define QVEX_ENGINE_COMMON_MESSAGE_ROUTER_WIRE_H_

#include <glib.h>

#include <cstdint>
#include <string>

#include "include/cef_process_message.h"

namespace qvex_engine {
namespace router_wire {

// Request ids and context ids start at 1; 0 in a cancellation means every request of the
// context.
constexpr int kAllRequests = 0;

// Renderer -> UI process, named QueryName(): [context id, request id, request, persistent].
struct Query {
  int context_id = 0;
  int request_id = 0;
  CefString request;
  bool persistent = false;
};

// Renderer -> UI process, named CancelName(): [context id, request id or kAllRequests].
struct Cancel {
  int context_id = 0;
  int request_id = 0;
};

// UI process -> renderer, named QueryName(): [context id, request id, true, response] or
// [context id, request id, false, error code, error message].
struct Response {
  int context_id = 0;
  int request_id = 0;
  bool success = false;
  int error_code = 0;
  CefString payload;  // The response, or the error message.
};

// The message names for the script functions the router installs ("cefQuery" gives
// "cefQueryMsg").
std::string QueryName(const CefString& query_function);
std::string CancelName(const CefString& cancel_function);

CefRefPtr<CefProcessMessage> Encode(const std::string& name, const Query& query);
CefRefPtr<CefProcessMessage> Encode(const std::string& name, const Cancel& cancel);
CefRefPtr<CefProcessMessage> Encode(const std::string& name, const Response& response);

// The same messages as the bytes of a frame message for `frame_id`, made without the message
// objects: what FrameMessageToVariant(frame_id, Encode(...)->GetArgumentList()) gives. The
// routers send these to frames of this engine.
GVariant* ToFrameVariant(int64_t frame_id, const Query& query);
GVariant* ToFrameVariant(int64_t frame_id, const Response& response);

// Each returns false, leaving `out` unspecified, unless the message has exactly the layout
// above with valid ids; the name is the caller's to check.
bool Decode(CefRefPtr<CefProcessMessage> message, Query* out);
bool Decode(CefRefPtr<CefProcessMessage> message, Cancel* out);
bool Decode(CefRefPtr<CefProcessMessage> message, Response* out);

}  // namespace router_wire
}  // namespace qvex_engine

#endif  // QVEX_ENGINE_COMMON_MESSAGE_ROUTER_WIRE_H_
