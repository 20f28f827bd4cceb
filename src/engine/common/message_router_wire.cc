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

// The layout of each message, written once: into a message's argument list (ListWriter) or
// straight into a frame message's bytes (FrameMessageWriter), which give the same bytes.
class ListWriter {
 public:
  explicit ListWriter(CefRefPtr<CefListValue> list) : list_(list) {}
  ListWriter& AddInt(int value) { return list_->SetInt(next_++, value), *this; }
  ListWriter& AddBool(bool value) { return list_->SetBool(next_++, value), *this; }
  ListWriter& AddString(const CefString& value) { return list_->SetString(next_++, value), *this; }

 private:
  CefRefPtr<CefListValue> list_;
  size_t next_ = 0;
};

template <typename Writer>
void Write(const Query& query, Writer& writer) {
  writer.AddInt(query.context_id)
      .AddInt(query.request_id)
      .AddString(query.request)
      .AddBool(query.persistent);
}

template <typename Writer>
void Write(const Cancel& cancel, Writer& writer) {
  writer.AddInt(cancel.context_id).AddInt(cancel.request_id);
}

template <typename Writer>
void Write(const Response& response, Writer& writer) {
  writer.AddInt(response.context_id).AddInt(response.request_id).AddBool(response.success);
  if (response.success) {
    writer.AddString(response.payload);
  } else {
    writer.AddInt(response.error_code).AddString(response.payload);
  }
}

uint32_t ValueCount(const Query&) { return 4; }
uint32_t ValueCount(const Response& response) { return response.success ? 4 : 5; }

}  // namespace

std::string QueryName(const CefString& query_function) {
  return query_function.ToString() + kSuffix;
}

std::string CancelName(const CefString& cancel_function) {
  return cancel_function.ToString() + kSuffix;
}

CefRefPtr<CefProcessMessage> Encode(const std::string& name, const Query& query) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(name);
  ListWriter writer(message->GetArgumentList());
  Write(query, writer);
  return message;
}

CefRefPtr<CefProcessMessage> Encode(const std::string& name, const Cancel& cancel) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(name);
  ListWriter writer(message->GetArgumentList());
  Write(cancel, writer);
  return message;
}

CefRefPtr<CefProcessMessage> Encode(const std::string& name, const Response& response) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(name);
  ListWriter writer(message->GetArgumentList());
  Write(response, writer);
  return message;
}

GVariant* ToFrameVariant(int64_t frame_id, const Query& query) {
  FrameMessageWriter writer(frame_id, ValueCount(query));
  Write(query, writer);
  return writer.Finish();
}

GVariant* ToFrameVariant(int64_t frame_id, const Response& response) {
  FrameMessageWriter writer(frame_id, ValueCount(response));
  Write(response, writer);
  return writer.Finish();
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
