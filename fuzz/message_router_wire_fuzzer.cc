// libFuzzer target: the router's and the engine's process messages as they arrive from the
// other process, a GVariant of any shape (above all the bytes of our own format), decoded into
// queries, cancellations and responses, and into each engine message type; and any bytes as the
// UTF-8 text of a string.
#include <glib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "common/engine_messages.h"
#include "common/message_router_wire.h"
#include "common/process_message_impl.h"
#include "fuzz_check.h"

namespace {

namespace wire = qvex_engine::router_wire;

constexpr char kName[] = "cefQueryMsg";

// Holds one reference to a GVariant (a floating one is taken over).
struct VariantHolder {
  explicit VariantHolder(GVariant* v) : variant(v ? g_variant_take_ref(v) : nullptr) {}
  ~VariantHolder() {
    if (variant) g_variant_unref(variant);
  }
  VariantHolder(const VariantHolder&) = delete;
  VariantHolder& operator=(const VariantHolder&) = delete;
  GVariant* variant;
};

// The message as the other side would receive it: serialized, then read back as untrusted data.
CefRefPtr<CefProcessMessage> OverTheWire(CefRefPtr<CefProcessMessage> message) {
  VariantHolder sent(qvex_engine::ArgumentsToVariant(message->GetArgumentList()));
  GBytes* bytes = g_variant_get_data_as_bytes(sent.variant);
  VariantHolder received(
      g_variant_new_from_bytes(G_VARIANT_TYPE_BYTESTRING, bytes, FALSE));
  g_bytes_unref(bytes);
  return qvex_engine::MessageFromVariant(message->GetName().ToString(), received.variant);
}

bool SameDouble(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

// Whatever the argument list holds survives the wire unchanged (unknown kinds as null).
void CheckListRoundTrip(CefRefPtr<CefProcessMessage> message) {
  CefRefPtr<CefListValue> sent = message->GetArgumentList();
  CefRefPtr<CefListValue> got = OverTheWire(message)->GetArgumentList();
  FUZZ_CHECK(got->GetSize() == sent->GetSize());
  for (size_t i = 0; i < sent->GetSize(); ++i) {
    const cef_value_type_t type = sent->GetType(i);
    switch (type) {
      case VTYPE_BOOL: FUZZ_CHECK(got->GetType(i) == type && got->GetBool(i) == sent->GetBool(i)); break;
      case VTYPE_INT: FUZZ_CHECK(got->GetType(i) == type && got->GetInt(i) == sent->GetInt(i)); break;
      case VTYPE_DOUBLE:
        FUZZ_CHECK(got->GetType(i) == type && SameDouble(got->GetDouble(i), sent->GetDouble(i)));
        break;
      case VTYPE_STRING:
        FUZZ_CHECK(got->GetType(i) == type && got->GetString(i) == sent->GetString(i));
        break;
      default: FUZZ_CHECK(got->GetType(i) == VTYPE_NULL); break;
    }
  }
}

std::string BytesOf(GVariant* value) {
  VariantHolder held(value);
  return std::string(static_cast<const char*>(g_variant_get_data(held.variant)),
                     g_variant_get_size(held.variant));
}

// What the routers write straight is what the message objects' way writes.
template <typename T>
void CheckStraightBytes(const T& value) {
  FUZZ_CHECK(BytesOf(wire::ToFrameVariant(42, value)) ==
             BytesOf(qvex_engine::FrameMessageToVariant(
                 42, wire::Encode(kName, value)->GetArgumentList())));
}

// Each kind of message that decodes encodes back to the same values, across the wire too.
void CheckDecoders(CefRefPtr<CefProcessMessage> message) {
  wire::Query query;
  if (wire::Decode(message, &query)) {
    CheckStraightBytes(query);
    FUZZ_CHECK(query.context_id > 0 && query.request_id > 0);
    wire::Query again;
    FUZZ_CHECK(wire::Decode(OverTheWire(wire::Encode(kName, query)), &again));
    FUZZ_CHECK(again.context_id == query.context_id && again.request_id == query.request_id &&
               again.request == query.request && again.persistent == query.persistent);
  }
  wire::Cancel cancel;
  if (wire::Decode(message, &cancel)) {
    FUZZ_CHECK(cancel.context_id > 0 && cancel.request_id >= wire::kAllRequests);
    wire::Cancel again;
    FUZZ_CHECK(wire::Decode(OverTheWire(wire::Encode(kName, cancel)), &again));
    FUZZ_CHECK(again.context_id == cancel.context_id && again.request_id == cancel.request_id);
  }
  wire::Response response;
  if (wire::Decode(message, &response)) {
    CheckStraightBytes(response);
    FUZZ_CHECK(response.context_id > 0 && response.request_id > 0);
    wire::Response again;
    FUZZ_CHECK(wire::Decode(OverTheWire(wire::Encode(kName, response)), &again));
    FUZZ_CHECK(again.context_id == response.context_id &&
               again.request_id == response.request_id && again.success == response.success &&
               again.payload == response.payload &&
               (!response.success ? again.error_code == response.error_code : true));
  }
  // At most one layout can match: the argument counts and types tell them apart.
  wire::Query q;
  wire::Cancel c;
  wire::Response r;
  const int layouts = wire::Decode(message, &q) + wire::Decode(message, &c) + wire::Decode(message, &r);
  FUZZ_CHECK(layouts <= 1);
}

// The same arguments under each engine message's name: what decodes encodes back the same.
template <typename T, typename Same>
void CheckEngineType(CefRefPtr<CefProcessMessage> message, const char* name, Same same) {
  namespace msg = qvex_engine::engine_messages;
  CefRefPtr<CefProcessMessage> named = CefProcessMessage::Create(name);
  CefRefPtr<CefListValue> args = message->GetArgumentList();
  CefRefPtr<CefListValue> copy = named->GetArgumentList();
  copy->SetSize(args->GetSize());
  for (size_t i = 0; i < args->GetSize(); ++i) {
    switch (args->GetType(i)) {
      case VTYPE_BOOL: copy->SetBool(i, args->GetBool(i)); break;
      case VTYPE_INT: copy->SetInt(i, args->GetInt(i)); break;
      case VTYPE_DOUBLE: copy->SetDouble(i, args->GetDouble(i)); break;
      case VTYPE_STRING: copy->SetString(i, args->GetString(i)); break;
      default: break;
    }
  }
  T decoded, again;
  if (!msg::Decode(named, &decoded)) return;
  FUZZ_CHECK(msg::Decode(OverTheWire(msg::Encode(decoded)), &again));
  FUZZ_CHECK(same(decoded, again));
}

void CheckEngineDecoders(CefRefPtr<CefProcessMessage> message) {
  namespace msg = qvex_engine::engine_messages;
  CheckEngineType<msg::FrameCommitted>(message, msg::kFrameCommitted, [](auto& a, auto& b) {
    return a.parent_id >= 0 && a.parent_id == b.parent_id && a.name == b.name && a.url == b.url &&
           a.is_load == b.is_load;
  });
  CheckEngineType<msg::FrameLoaded>(message, msg::kFrameLoaded,
                                    [](auto& a, auto& b) { return a.url == b.url; });
  CheckEngineType<msg::FrameNavigating>(message, msg::kFrameNavigating, [](auto& a, auto& b) {
    return a.url == b.url && a.redirect == b.redirect;
  });
  CheckEngineType<msg::FrameDetached>(message, msg::kFrameDetached,
                                      [](auto&, auto&) { return true; });
  CheckEngineType<msg::Execute>(message, msg::kExecute, [](auto& a, auto& b) {
    return a.code == b.code && a.script_url == b.script_url && a.start_line == b.start_line;
  });
  CheckEngineType<msg::LoadUrl>(message, msg::kLoadUrl,
                                [](auto& a, auto& b) { return a.url == b.url; });
  CheckEngineType<msg::MainDocumentParsed>(message, msg::kMainDocumentParsed,
                                           [](auto&, auto&) { return true; });
  CheckEngineType<msg::Stop>(message, msg::kStop, [](auto&, auto&) { return true; });
}

// Any bytes taken as UTF-8 text (as a message's strings arrive) read as their UTF-16
// conversion would, whether the text is kept as the bytes or converted.
void CheckTextFromBytes(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::u16string units = CefString::FromUtf8(bytes);
  const CefString text(bytes);
  FUZZ_CHECK(text.length() == units.size());
  FUZZ_CHECK(text.ToString() == CefString::ToUtf8(units));
  FUZZ_CHECK(text.ToString16() == units);
  FUZZ_CHECK(text == CefString(units) && CefString(units) == text);
  std::string appended;
  text.AppendUtf8To(&appended);
  FUZZ_CHECK(appended == text.ToString());
  if (const std::string* plain = text.PlainUtf8())
    FUZZ_CHECK(*plain == bytes && plain->find('\0') == std::string::npos);
  // The same bytes left where they are, as a long received text is.
  auto owner = std::make_shared<const std::string>(bytes);
  const CefString borrowed = CefString::FromUtf8Bytes(owner->data(), owner->size(), owner);
  owner.reset();
  FUZZ_CHECK(borrowed == text && borrowed.length() == units.size());
  FUZZ_CHECK(borrowed.ToString() == text.ToString() && borrowed.ToString16() == units);
}

// A list built from the bytes: a tag byte per entry, then its value.
CefRefPtr<CefProcessMessage> BuildMessage(const uint8_t* data, size_t size) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(kName);
  CefRefPtr<CefListValue> args = message->GetArgumentList();
  size_t i = 0;
  auto take = [&](void* out, size_t n) {
    std::memset(out, 0, n);
    std::memcpy(out, data + i, std::min(n, size - i));
    i += std::min(n, size - i);
  };
  for (size_t index = 0; i < size && index < 16; ++index) {
    const uint8_t tag = data[i++];
    switch (tag % 6) {
      case 0: args->SetNull(index); break;
      case 1: args->SetBool(index, tag & 0x80); break;
      case 2: {
        // Small ids are the interesting ones; the high bit of the tag asks for any value.
        int32_t v = 0;
        if (tag & 0x80) take(&v, sizeof v);
        else v = (tag >> 3) - 4;
        args->SetInt(index, v);
        break;
      }
      case 3: {
        double d;
        take(&d, sizeof d);
        args->SetDouble(index, d);
        break;
      }
      case 4: {
        uint8_t length = 0;
        take(&length, 1);
        std::u16string s;
        for (uint8_t k = 0; k < length && i + 1 < size; ++k, i += 2)
          s.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
        args->SetString(index, s);
        break;
      }
      default: args->SetSize(index + 1); break;  // A gap: a null entry.
    }
  }
  return message;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0] % 3;
  ++data, --size;
  CheckTextFromBytes(data, size);
  if (mode == 2) {
    // Argument lists that reach the decoders with every layout: built, sent, received.
    CefRefPtr<CefProcessMessage> message = BuildMessage(data, size);
    CheckListRoundTrip(message);
    CheckDecoders(message);
    CheckDecoders(OverTheWire(message));
    CheckEngineDecoders(message);
    return 0;
  }
  // Untrusted data: the message's bytes as they arrive ("ay"), or (mode 1) a variant of any
  // type at all.
  GBytes* bytes = g_bytes_new(data, size);
  const GVariantType* type =
      mode == 0 ? G_VARIANT_TYPE_BYTESTRING : G_VARIANT_TYPE_VARIANT;
  VariantHolder outer(g_variant_new_from_bytes(type, bytes, FALSE));
  g_bytes_unref(bytes);
  VariantHolder parameters(mode == 0 ? g_variant_ref(outer.variant) : g_variant_get_variant(outer.variant));
  CefRefPtr<CefProcessMessage> message = qvex_engine::MessageFromVariant(kName, parameters.variant);
  // Never more entries than the limit, nor than the bytes could describe (a tag each).
  const gsize bytes_given =
      g_variant_is_of_type(parameters.variant, G_VARIANT_TYPE_BYTESTRING)
          ? g_variant_get_size(parameters.variant)
          : 0;
  const size_t entries = message->GetArgumentList()->GetSize();
  FUZZ_CHECK(entries <= qvex_engine::kMaxArguments && entries <= bytes_given);
  CheckListRoundTrip(message);
  CheckDecoders(message);
  CheckEngineDecoders(message);
  return 0;
}
