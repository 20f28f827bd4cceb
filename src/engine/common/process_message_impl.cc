// CefProcessMessage, CefListValue and their GVariant wire form.
#include "common/process_message_impl.h"

#include <vector>

namespace {

struct Entry {
  cef_value_type_t type = VTYPE_NULL;
  bool b = false;
  int i = 0;
  double d = 0;
  CefString s;  // Shares the text with whoever set or reads it.
};

class ListValueImpl : public CefListValue {
 public:
  ListValueImpl() = default;
  explicit ListValueImpl(std::vector<Entry> entries) : entries_(std::move(entries)) {}

  bool IsValid() override { return true; }
  bool IsReadOnly() override { return false; }
  CefRefPtr<CefListValue> Copy() override { return new ListValueImpl(entries_); }
  bool SetSize(size_t size) override {
    entries_.resize(size);
    return true;
  }
  size_t GetSize() override { return entries_.size(); }
  bool Clear() override {
    entries_.clear();
    return true;
  }
  cef_value_type_t GetType(size_t index) override {
    return index < entries_.size() ? entries_[index].type : VTYPE_INVALID;
  }
  bool GetBool(size_t index) override { return Get(index, VTYPE_BOOL) ? entries_[index].b : false; }
  int GetInt(size_t index) override { return Get(index, VTYPE_INT) ? entries_[index].i : 0; }
  double GetDouble(size_t index) override {
    if (Get(index, VTYPE_DOUBLE)) return entries_[index].d;
    return Get(index, VTYPE_INT) ? entries_[index].i : 0;
  }
  CefString GetString(size_t index) override {
    return Get(index, VTYPE_STRING) ? entries_[index].s : CefString();
  }
  bool SetNull(size_t index) override { return Set(index).type == VTYPE_NULL; }
  bool SetBool(size_t index, bool value) override {
    Entry& e = Set(index);
    e.type = VTYPE_BOOL, e.b = value;
    return true;
  }
  bool SetInt(size_t index, int value) override {
    Entry& e = Set(index);
    e.type = VTYPE_INT, e.i = value;
    return true;
  }
  bool SetDouble(size_t index, double value) override {
    Entry& e = Set(index);
    e.type = VTYPE_DOUBLE, e.d = value;
    return true;
  }
  bool SetString(size_t index, const CefString& value) override {
    Entry& e = Set(index);
    e.type = VTYPE_STRING, e.s = value;
    return true;
  }

  const std::vector<Entry>& entries() const { return entries_; }

 private:
  bool Get(size_t index, cef_value_type_t type) const {
    return index < entries_.size() && entries_[index].type == type;
  }
  Entry& Set(size_t index) {
    if (index >= entries_.size()) entries_.resize(index + 1);
    entries_[index] = Entry();
    return entries_[index];
  }

  std::vector<Entry> entries_;
  IMPLEMENT_REFCOUNTING(ListValueImpl);
};

class ProcessMessageImpl : public CefProcessMessage {
 public:
  ProcessMessageImpl(const CefString& name, CefRefPtr<CefListValue> args)
      : name_(name), args_(args) {}

  bool IsValid() override { return true; }
  bool IsReadOnly() override { return false; }
  CefRefPtr<CefProcessMessage> Copy() override {
    return new ProcessMessageImpl(name_, args_->Copy());
  }
  CefString GetName() override { return name_; }
  CefRefPtr<CefListValue> GetArgumentList() override { return args_; }

 private:
  CefString name_;
  CefRefPtr<CefListValue> args_;
  IMPLEMENT_REFCOUNTING(ProcessMessageImpl);
};

}  // namespace

CefRefPtr<CefListValue> CefListValue::Create() { return new ListValueImpl(); }

CefRefPtr<CefProcessMessage> CefProcessMessage::Create(const CefString& name) {
  return new ProcessMessageImpl(name, new ListValueImpl());
}

namespace qvex_engine {

namespace {

// A string goes as its UTF-8 bytes, lone surrogates as their 3-byte sequences and NUL as a
// byte ("ay"): half the size of its UTF-16 units for the ASCII of documents and JSON, and
// made with one conversion straight into the message.
GVariant* StringToVariant(const CefString& value) {
  auto* utf8 = new std::string(CefString::ToUtf8(value.ToString16()));
  return g_variant_new_from_data(
      G_VARIANT_TYPE_BYTESTRING, utf8->data(), utf8->size(), TRUE,
      [](gpointer data) { delete static_cast<std::string*>(data); }, utf8);
}

// The string of a value in either form: "ay" as above, or "aq" (UTF-16 units, the form
// before). False for any other type.
bool StringFromVariant(GVariant* value, CefString* out) {
  gsize count = 0;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_BYTESTRING)) {
    const auto* bytes =
        static_cast<const char*>(g_variant_get_fixed_array(value, &count, sizeof(char)));
    *out = CefString(CefString::FromUtf8(bytes ? bytes : "", count));
    return true;
  }
  if (g_variant_is_of_type(value, G_VARIANT_TYPE("aq"))) {
    const auto* units = static_cast<const char16_t*>(
        g_variant_get_fixed_array(value, &count, sizeof(char16_t)));
    *out = CefString(std::u16string(units ? units : u"", count));
    return true;
  }
  return false;
}

}  // namespace

GVariant* ArgumentsToVariant(CefRefPtr<CefListValue> arguments) {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("a(yv)"));
  size_t n = arguments ? arguments->GetSize() : 0;
  for (size_t i = 0; i < n; ++i) {
    cef_value_type_t type = arguments->GetType(i);
    GVariant* value;
    switch (type) {
      case VTYPE_BOOL: value = g_variant_new_boolean(arguments->GetBool(i)); break;
      case VTYPE_INT: value = g_variant_new_int32(arguments->GetInt(i)); break;
      case VTYPE_DOUBLE: value = g_variant_new_double(arguments->GetDouble(i)); break;
      case VTYPE_STRING: value = StringToVariant(arguments->GetString(i)); break;
      default:
        type = VTYPE_NULL;
        value = g_variant_new_tuple(nullptr, 0);
        break;
    }
    g_variant_builder_add(&builder, "(yv)", static_cast<guchar>(type), value);
  }
  return g_variant_builder_end(&builder);
}

CefRefPtr<CefProcessMessage> MessageFromVariant(const std::string& name, GVariant* parameters) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(name);
  if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("a(yv)"))) return message;
  CefRefPtr<CefListValue> args = message->GetArgumentList();
  size_t n = g_variant_n_children(parameters);
  CefString text;
  for (size_t i = 0; i < n; ++i) {
    guchar tag = 0;
    GVariant* value = nullptr;
    g_variant_get_child(parameters, i, "(yv)", &tag, &value);
    if (tag == VTYPE_BOOL && g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN)) {
      args->SetBool(i, g_variant_get_boolean(value));
    } else if (tag == VTYPE_INT && g_variant_is_of_type(value, G_VARIANT_TYPE_INT32)) {
      args->SetInt(i, g_variant_get_int32(value));
    } else if (tag == VTYPE_DOUBLE && g_variant_is_of_type(value, G_VARIANT_TYPE_DOUBLE)) {
      args->SetDouble(i, g_variant_get_double(value));
    } else if (tag == VTYPE_STRING && StringFromVariant(value, &text)) {
      args->SetString(i, text);
      text.clear();
    } else {
      args->SetNull(i);
    }
    g_variant_unref(value);
  }
  return message;
}

GVariant* FrameMessageToVariant(int64_t frame_id, CefRefPtr<CefListValue> arguments) {
  GVariant* children[] = {g_variant_new_int64(frame_id), ArgumentsToVariant(arguments)};
  return g_variant_new_tuple(children, 2);
}

CefRefPtr<CefProcessMessage> FrameMessageFromVariant(const std::string& name,
                                                     GVariant* parameters, int64_t* frame_id) {
  *frame_id = 0;
  if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(xa(yv))")))
    return MessageFromVariant(name, nullptr);
  GVariant* arguments = nullptr;
  g_variant_get(parameters, "(x@a(yv))", frame_id, &arguments);
  CefRefPtr<CefProcessMessage> message = MessageFromVariant(name, arguments);
  g_variant_unref(arguments);
  return message;
}

}  // namespace qvex_engine
