// Encoding and strict decoding of the message router's process messages.
#include "common/message_router_wire.h"

#include <initializer_list>

#include "common/process_message_impl.h"

namespace qvex_engine {
namespace router_wire {

namespace {

constexpr char kSuffix[] = "Msg";

bool HasLayout(CefRefPtr<CefListValue> args, std::initializer_list<cef_value_type_t> types) {
  if (!args || args->GetSize() != types.size()) return false;
  size_t i = 0;
  for (cef_value_type_t type : types) {
    if (args->GetType(i++) != type) return false;
  }
  return true;
}

CefRefPtr<CefListValue> ArgsOf(CefRefPtr<CefProcessMessage> message) {
  return message ? message->GetArgumentList() : nullptr;
}

}  // namespace

std::string QueryName(const CefString& query_function) {
  return query_function.ToString() + kSuffix;
}

std::string CancelName(const CefString& cancel_function) {
  return cancel_function.ToString() + kSuffix;
}

CefRefPtr<CefProcessMessage> Encode(const std::string& name, const Query& query) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(name);
  CefRefPtr<CefListValue> args = message->GetArgumentList();
  args->SetInt(0, query.context_id);
  args->SetInt(1, query.request_id);
  args->SetString(2, query.request);
  args->SetBool(3, query.persistent);
  return message;
}

CefRefPtr<CefProcessMessage> Encode(const std::string& name, const Cancel& cancel) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(name);
  CefRefPtr<CefListValue> args = message->GetArgumentList();
  args->SetInt(0, cancel.context_id);
  args->SetInt(1, cancel.request_id);
  return message;
}

CefRefPtr<CefProcessMessage> Encode(const std::string& name, const Response& response) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(name);
  CefRefPtr<CefListValue> args = message->GetArgumentList();
  args->SetInt(0, response.context_id);
  args->SetInt(1, response.request_id);
  args->SetBool(2, response.success);
  if (response.success) {
    args->SetString(3, response.payload);
  } else {
    args->SetInt(3, response.error_code);
    args->SetString(4, response.payload);
  }
  return message;
}

GVariant* ToFrameVariant(int64_t frame_id, const Query& query) {
  return FrameMessageWriter(frame_id, 4)
      .AddInt(query.context_id)
      .AddInt(query.request_id)
      .AddString(query.request)
      .AddBool(query.persistent)
      .Finish();
}

GVariant* ToFrameVariant(int64_t frame_id, const Response& response) {
  if (response.success) {
    return FrameMessageWriter(frame_id, 4)
        .AddInt(response.context_id)
        .AddInt(response.request_id)
        .AddBool(true)
        .AddString(response.payload)
        .Finish();
  }
  return FrameMessageWriter(frame_id, 5)
      .AddInt(response.context_id)
      .AddInt(response.request_id)
      .AddBool(false)
      .AddInt(response.error_code)
      .AddString(response.payload)
      .Finish();
}

bool Decode(CefRefPtr<CefProcessMessage> message, Query* out) {
  CefRefPtr<CefListValue> args = ArgsOf(message);
  if (!HasLayout(args, {VTYPE_INT, VTYPE_INT, VTYPE_STRING, VTYPE_BOOL})) return false;
  out->context_id = args->GetInt(0);
  out->request_id = args->GetInt(1);
  out->request = args->GetString(2);
  out->persistent = args->GetBool(3);
  return out->context_id > 0 && out->request_id > 0;
}

bool Decode(CefRefPtr<CefProcessMessage> message, Cancel* out) {
  CefRefPtr<CefListValue> args = ArgsOf(message);
  if (!HasLayout(args, {VTYPE_INT, VTYPE_INT})) return false;
  out->context_id = args->GetInt(0);
  out->request_id = args->GetInt(1);
  return out->context_id > 0 && out->request_id >= kAllRequests;
}

bool Decode(CefRefPtr<CefProcessMessage> message, Response* out) {
  CefRefPtr<CefListValue> args = ArgsOf(message);
  if (HasLayout(args, {VTYPE_INT, VTYPE_INT, VTYPE_BOOL, VTYPE_STRING}) && args->GetBool(2)) {
    out->success = true;
    out->error_code = 0;
    out->payload = args->GetString(3);
  } else if (HasLayout(args, {VTYPE_INT, VTYPE_INT, VTYPE_BOOL, VTYPE_INT, VTYPE_STRING}) &&
             !args->GetBool(2)) {
    out->success = false;
    out->error_code = args->GetInt(3);
    out->payload = args->GetString(4);
  } else {
    return false;
  }
  out->context_id = args->GetInt(0);
  out->request_id = args->GetInt(1);
  return out->context_id > 0 && out->request_id > 0;
}

}  // namespace router_wire
}  // namespace qvex_engine
