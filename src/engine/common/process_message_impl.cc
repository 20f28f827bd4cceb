// CefProcessMessage, CefListValue and their GVariant wire form.
#include "common/process_message_impl.h"

#include <cstring>
#include <memory>
#include <string>
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

constexpr size_t kHeaderSize = 1;  // The version.

template <typename T>
void Append(std::string* out, T value) {
  out->append(reinterpret_cast<const char*>(&value), sizeof value);
}

void AppendString(std::string* out, const CefString& value) {
  // The length goes before the text, which goes straight into the message.
  const size_t at = out->size();
  Append<uint32_t>(out, 0);
  value.AppendUtf8To(out);
  const uint32_t length = static_cast<uint32_t>(out->size() - at - sizeof(uint32_t));
  std::memcpy(&(*out)[at], &length, sizeof length);
}

// The list's part of the bytes: the count, then each argument's tag and value.
void AppendList(std::string* out, CefRefPtr<CefListValue> arguments) {
  const size_t n = arguments ? arguments->GetSize() : 0;
  Append<uint32_t>(out, static_cast<uint32_t>(n));
  for (size_t i = 0; i < n; ++i) {
    cef_value_type_t type = arguments->GetType(i);
    switch (type) {
      case VTYPE_BOOL:
      case VTYPE_INT:
      case VTYPE_DOUBLE:
      case VTYPE_STRING: break;
      default: type = VTYPE_NULL; break;
    }
    Append<uint8_t>(out, static_cast<uint8_t>(type));
    switch (type) {
      case VTYPE_BOOL: Append<uint8_t>(out, arguments->GetBool(i) ? 1 : 0); break;
      case VTYPE_INT: Append<int32_t>(out, arguments->GetInt(i)); break;
      case VTYPE_DOUBLE: Append<double>(out, arguments->GetDouble(i)); break;
      case VTYPE_STRING: AppendString(out, arguments->GetString(i)); break;
      default: break;
    }
  }
}

// GLib drops an array type's description with the last value of that type, and builds it
// again for the next one (under a global lock, with a type string copied and hashed): about
// 5,000 instructions a message in each process. One empty value kept for good keeps "ay"
// described for every message of the process, received ones too; messages take their type
// from it, so the value is kept where the leak checker finds it.
GVariant* KeptByteString() {
  static GVariant* const kept = g_variant_ref_sink(
      g_variant_new_from_data(G_VARIANT_TYPE_BYTESTRING, "", 0, TRUE, nullptr, nullptr));
  return kept;
}

// Hands the bytes to a GVariant "ay" without copying them.
GVariant* TakeBytes(std::string* bytes) {
  return g_variant_new_from_data(
      g_variant_get_type(KeptByteString()), bytes->data(), bytes->size(), TRUE,
      [](gpointer data) { delete static_cast<std::string*>(data); }, bytes);
}

// Reads the bytes front to back; every read checks that the bytes hold it.
class Reader {
 public:
  explicit Reader(GVariant* bytes) {
    if (bytes && g_variant_is_of_type(bytes, G_VARIANT_TYPE_BYTESTRING)) {
      gsize size = 0;
      data_ = static_cast<const char*>(g_variant_get_fixed_array(bytes, &size, 1));
      end_ = data_ ? data_ + size : nullptr;
    }
    ok_ = data_ != nullptr;
  }
  template <typename T>
  bool Read(T* out) {
    if (!ok_ || static_cast<size_t>(end_ - data_) < sizeof(T)) return ok_ = false;
    std::memcpy(out, data_, sizeof(T));
    data_ += sizeof(T);
    return true;
  }
  const char* Take(size_t n) {
    if (!ok_ || static_cast<size_t>(end_ - data_) < n) return ok_ = false, nullptr;
    const char* at = data_;
    data_ += n;
    return at;
  }
  bool ReadVersion() {
    uint8_t version = 0;
    return Read(&version) && version == kWireVersion;
  }
  bool AtEnd() const { return ok_ && data_ == end_; }

 private:
  const char* data_ = nullptr;
  const char* end_ = nullptr;
  bool ok_ = false;
};

// A text at least this long stays in the received message's bytes instead of being copied.
constexpr size_t kBorrowedText = 64 * 1024;

// The list from the rest of the bytes of `parameters`, which it must use up; false if they
// hold no list.
bool ReadList(Reader* in, GVariant* parameters, CefRefPtr<CefListValue> args) {
  std::shared_ptr<const void> keep;  // The bytes, for the long texts that stay in them.
  uint32_t n = 0;
  if (!in->Read(&n) || n > kMaxArguments) return false;
  args->SetSize(n);
  for (uint32_t i = 0; i < n; ++i) {
    uint8_t tag = 0;
    if (!in->Read(&tag)) return false;
    switch (tag) {
      case VTYPE_NULL: break;
      case VTYPE_BOOL: {
        uint8_t value = 0;
        if (!in->Read(&value) || value > 1) return false;
        args->SetBool(i, value == 1);
        break;
      }
      case VTYPE_INT: {
        int32_t value = 0;
        if (!in->Read(&value)) return false;
        args->SetInt(i, value);
        break;
      }
      case VTYPE_DOUBLE: {
        double value = 0;
        if (!in->Read(&value)) return false;
        args->SetDouble(i, value);
        break;
      }
      case VTYPE_STRING: {
        uint32_t length = 0;
        const char* text = in->Read(&length) ? in->Take(length) : nullptr;
        if (!text) return false;
        if (length < kBorrowedText) {
          args->SetString(i, CefString(std::string(text, length)));
          break;
        }
        if (!keep) {
          keep = std::shared_ptr<const void>(g_variant_ref(parameters), [](const void* bytes) {
            g_variant_unref(static_cast<GVariant*>(const_cast<void*>(bytes)));
          });
        }
        args->SetString(i, CefString::FromUtf8Bytes(text, length, keep));
        break;
      }
      default: return false;  // A kind whose size this side cannot know.
    }
  }
  return in->AtEnd();
}

}  // namespace

FrameMessageWriter::FrameMessageWriter(int64_t frame_id, uint32_t argument_count)
    : bytes_(new std::string()) {
  bytes_->reserve(64);  // A small query or answer whole, without growing on the way.
  Append<uint8_t>(bytes_, kWireVersion);
  Append<int64_t>(bytes_, frame_id);
  Append<uint32_t>(bytes_, argument_count);
}

FrameMessageWriter::~FrameMessageWriter() { delete bytes_; }

FrameMessageWriter& FrameMessageWriter::AddBool(bool value) {
  Append<uint8_t>(bytes_, VTYPE_BOOL);
  Append<uint8_t>(bytes_, value ? 1 : 0);
  return *this;
}

FrameMessageWriter& FrameMessageWriter::AddInt(int value) {
  Append<uint8_t>(bytes_, VTYPE_INT);
  Append<int32_t>(bytes_, value);
  return *this;
}

FrameMessageWriter& FrameMessageWriter::AddString(const CefString& value) {
  Append<uint8_t>(bytes_, VTYPE_STRING);
  AppendString(bytes_, value);
  return *this;
}

GVariant* FrameMessageWriter::Finish() {
  std::string* bytes = bytes_;
  bytes_ = nullptr;
  return TakeBytes(bytes);
}

GVariant* ArgumentsToVariant(CefRefPtr<CefListValue> arguments) {
  auto* bytes = new std::string();
  Append<uint8_t>(bytes, kWireVersion);
  AppendList(bytes, arguments);
  return TakeBytes(bytes);
}

CefRefPtr<CefProcessMessage> MessageFromVariant(const std::string& name, GVariant* parameters) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(name);
  Reader in(parameters);
  if (!in.ReadVersion() || !ReadList(&in, parameters, message->GetArgumentList()))
    return CefProcessMessage::Create(name);
  return message;
}

GVariant* FrameMessageToVariant(int64_t frame_id, CefRefPtr<CefListValue> arguments) {
  auto* bytes = new std::string();
  Append<uint8_t>(bytes, kWireVersion);
  Append<int64_t>(bytes, frame_id);
  AppendList(bytes, arguments);
  return TakeBytes(bytes);
}

CefRefPtr<CefProcessMessage> FrameMessageFromVariant(const std::string& name,
                                                     GVariant* parameters, int64_t* frame_id) {
  *frame_id = 0;
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(name);
  Reader in(parameters);
  int64_t frame = 0;
  if (!in.ReadVersion() || !in.Read(&frame) ||
      !ReadList(&in, parameters, message->GetArgumentList()))
    return CefProcessMessage::Create(name);
  *frame_id = frame;
  return message;
}

}  // namespace qvex_engine
