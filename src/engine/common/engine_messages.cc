// Engine messages: names and argument layouts of the port's own process messages.
#include "common/engine_messages.h"

#include <glib.h>

#include <initializer_list>

#include "include/base/cef_logging.h"

namespace qvex_engine {
namespace engine_messages {

namespace {

// The message's arguments when it has `name` and exactly `types`; else null.
CefRefPtr<CefListValue> ArgsIf(CefRefPtr<CefProcessMessage> message, const char* name,
                               std::initializer_list<cef_value_type_t> types) {
  if (!message || message->GetName().ToString() != name) return nullptr;
  CefRefPtr<CefListValue> args = message->GetArgumentList();
  if (!args || args->GetSize() != types.size()) return nullptr;
  size_t i = 0;
  for (cef_value_type_t type : types) {
    if (args->GetType(i++) != type) return nullptr;
  }
  return args;
}

}  // namespace

CefRefPtr<CefProcessMessage> Encode(const FrameCommitted& m) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(kFrameCommitted);
  CefRefPtr<CefListValue> args = message->GetArgumentList();
  // A decimal string: the list's integers are 32 bits wide, frame identifiers 64.
  args->SetString(0, std::to_string(m.parent_id));
  args->SetString(1, m.name);
  args->SetString(2, m.url);
  args->SetBool(3, m.is_load);
  return message;
}

bool Decode(CefRefPtr<CefProcessMessage> message, FrameCommitted* out) {
  CefRefPtr<CefListValue> args =
      ArgsIf(message, kFrameCommitted, {VTYPE_STRING, VTYPE_STRING, VTYPE_STRING, VTYPE_BOOL});
  gint64 parent_id = 0;
  if (!args || !g_ascii_string_to_signed(args->GetString(0).ToString().c_str(), 10, 0,
                                         G_MAXINT64, &parent_id, nullptr)) {
    return false;
  }
  out->parent_id = parent_id;
  out->name = args->GetString(1).ToString();
  out->url = args->GetString(2).ToString();
  out->is_load = args->GetBool(3);
  return true;
}

CefRefPtr<CefProcessMessage> Encode(const FrameLoaded& m) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(kFrameLoaded);
  message->GetArgumentList()->SetString(0, m.url);
  return message;
}

bool Decode(CefRefPtr<CefProcessMessage> message, FrameLoaded* out) {
  CefRefPtr<CefListValue> args = ArgsIf(message, kFrameLoaded, {VTYPE_STRING});
  if (!args) return false;
  out->url = args->GetString(0).ToString();
  return true;
}

CefRefPtr<CefProcessMessage> Encode(const FrameNavigating& m) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(kFrameNavigating);
  message->GetArgumentList()->SetString(0, m.url);
  message->GetArgumentList()->SetBool(1, m.redirect);
  return message;
}

bool Decode(CefRefPtr<CefProcessMessage> message, FrameNavigating* out) {
  CefRefPtr<CefListValue> args = ArgsIf(message, kFrameNavigating, {VTYPE_STRING, VTYPE_BOOL});
  if (!args) return false;
  out->url = args->GetString(0).ToString();
  out->redirect = args->GetBool(1);
  return true;
}

CefRefPtr<CefProcessMessage> Encode(const FrameDetached&) {
  return CefProcessMessage::Create(kFrameDetached);
}

bool Decode(CefRefPtr<CefProcessMessage> message, FrameDetached*) {
  return ArgsIf(message, kFrameDetached, {}) != nullptr;
}

CefRefPtr<CefProcessMessage> Encode(const MainDocumentParsed&) {
  return CefProcessMessage::Create(kMainDocumentParsed);
}

bool Decode(CefRefPtr<CefProcessMessage> message, MainDocumentParsed*) {
  return ArgsIf(message, kMainDocumentParsed, {}) != nullptr;
}

CefRefPtr<CefProcessMessage> Encode(const Execute& m) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(kExecute);
  CefRefPtr<CefListValue> args = message->GetArgumentList();
  args->SetString(0, m.code);
  args->SetString(1, m.script_url);
  args->SetInt(2, m.start_line);
  return message;
}

bool Decode(CefRefPtr<CefProcessMessage> message, Execute* out) {
  CefRefPtr<CefListValue> args =
      ArgsIf(message, kExecute, {VTYPE_STRING, VTYPE_STRING, VTYPE_INT});
  if (!args) return false;
  out->code = args->GetString(0);
  out->script_url = args->GetString(1);
  out->start_line = args->GetInt(2);
  return true;
}

CefRefPtr<CefProcessMessage> Encode(const LoadUrl& m) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(kLoadUrl);
  message->GetArgumentList()->SetString(0, m.url);
  return message;
}

bool Decode(CefRefPtr<CefProcessMessage> message, LoadUrl* out) {
  CefRefPtr<CefListValue> args = ArgsIf(message, kLoadUrl, {VTYPE_STRING});
  if (!args) return false;
  out->url = args->GetString(0);
  return true;
}

CefRefPtr<CefProcessMessage> Encode(const Stop&) { return CefProcessMessage::Create(kStop); }

bool Decode(CefRefPtr<CefProcessMessage> message, Stop*) {
  return ArgsIf(message, kStop, {}) != nullptr;
}

CefRefPtr<CefProcessMessage> Encode(const Settle&) { return CefProcessMessage::Create(kSettle); }

bool Decode(CefRefPtr<CefProcessMessage> message, Settle*) {
  return ArgsIf(message, kSettle, {}) != nullptr;
}

void ReportMalformed(CefRefPtr<CefProcessMessage> message) {
  const std::string name = message ? message->GetName().ToString() : std::string("(none)");
  LOG(ERROR) << "engine message " << name << " does not decode ("
             << (message ? message->GetArgumentList()->GetSize() : 0) << " arguments)";
  NOTREACHED();
}

}  // namespace engine_messages
}  // namespace qvex_engine
