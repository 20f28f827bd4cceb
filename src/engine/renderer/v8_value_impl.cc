// V8ValueImpl and the CefV8Value factory functions.
#include "renderer/v8_value_impl.h"

#include <cmath>
#include <limits>
#include <vector>

#include "include/base/cef_logging.h"
#include "include/cef_task.h"
#include "include/wrapper/cef_helpers.h"
#include "renderer/js_string.h"
#include "renderer/native_function.h"

namespace qvex_engine {

namespace {

bool IsInt32(double d) {
  return d >= std::numeric_limits<int32_t>::min() && d <= std::numeric_limits<int32_t>::max() &&
         d == std::floor(d) && !(d == 0 && std::signbit(d));
}

unsigned PropertyAttributes(cef_v8_propertyattribute_t attribute) {
  unsigned js = kJSPropertyAttributeNone;
  if (attribute & V8_PROPERTY_ATTRIBUTE_READONLY) js |= kJSPropertyAttributeReadOnly;
  if (attribute & V8_PROPERTY_ATTRIBUTE_DONTENUM) js |= kJSPropertyAttributeDontEnum;
  if (attribute & V8_PROPERTY_ATTRIBUTE_DONTDELETE) js |= kJSPropertyAttributeDontDelete;
  return js;
}

// The arguments of one call where the collector finds them: on the stack for a few, in a
// protected heap array beyond that (the values made here are not referenced from anywhere
// else until the call takes them).
class CallArguments {
 public:
  CallArguments(JSContextRef ctx, const CefV8ValueList& list) : ctx_(ctx), size_(list.size()) {
    JSValueRef* out = inline_;
    if (size_ > kInline) {
      heap_.resize(size_);
      out = heap_.data();
    }
    for (size_t i = 0; i < size_; ++i) {
      out[i] = V8ValueImpl::ToJS(ctx, list[i].get());
      if (!heap_.empty()) JSValueProtect(ctx_, out[i]);
    }
  }
  ~CallArguments() {
    for (JSValueRef value : heap_) JSValueUnprotect(ctx_, value);
  }
  CallArguments(const CallArguments&) = delete;
  CallArguments& operator=(const CallArguments&) = delete;

  size_t size() const { return size_; }
  const JSValueRef* data() const { return heap_.empty() ? inline_ : heap_.data(); }

 private:
  static constexpr size_t kInline = 8;
  JSContextRef ctx_;
  size_t size_;
  JSValueRef inline_[kInline] = {};
  std::vector<JSValueRef> heap_;
};

}  // namespace

CefRefPtr<V8ValueImpl> V8ValueImpl::FromJS(V8ContextImpl* context, JSContextRef ctx,
                                           JSValueRef value, bool protect) {
  if (!value) return new V8ValueImpl(Type::kUndefined);
  switch (JSValueGetType(ctx, value)) {
    case kJSTypeNull:
      return new V8ValueImpl(Type::kNull);
    case kJSTypeBoolean:
      return MakeBool(JSValueToBoolean(ctx, value));
    case kJSTypeNumber: {
      const double d = JSValueToNumber(ctx, value, nullptr);
      return IsInt32(d) ? MakeInt(static_cast<int32_t>(d)) : MakeDouble(d);
    }
    case kJSTypeString: {
      CefRefPtr<V8ValueImpl> v = new V8ValueImpl(Type::kString);
      JSStringRef string = JSValueToStringCopy(ctx, value, nullptr);
      if (!string) return v;
      v->string_ = FromJSString(string);
      JSStringRelease(string);
      return v;
    }
    case kJSTypeObject: {
      if (!context) break;
      CefRefPtr<V8ValueImpl> v = new V8ValueImpl(Type::kObject);
      v->object_ = JSValueToObject(ctx, value, nullptr);
      v->context_ = context;
      if (protect) v->EnsureProtected();
      return v;
    }
    default:
      break;  // Symbols and big integers have no counterpart here.
  }
  return new V8ValueImpl(Type::kUndefined);
}

JSValueRef V8ValueImpl::ToJS(JSContextRef ctx, CefV8Value* value) {
  auto* v = static_cast<V8ValueImpl*>(value);
  if (!v) return JSValueMakeUndefined(ctx);
  switch (v->type_) {
    case Type::kUndefined: return JSValueMakeUndefined(ctx);
    case Type::kNull: return JSValueMakeNull(ctx);
    case Type::kBool: return JSValueMakeBoolean(ctx, v->bool_);
    case Type::kInt: return JSValueMakeNumber(ctx, v->int_);
    case Type::kDouble: return JSValueMakeNumber(ctx, v->double_);
    case Type::kString: return MakeJSString(ctx, v->string_);
    case Type::kObject: return v->object_;
  }
  return JSValueMakeUndefined(ctx);
}

CefRefPtr<CefV8Value> V8ValueImpl::CreateFunction(V8ContextImpl* context, const CefString& name,
                                                  CefRefPtr<CefV8Handler> handler) {
  CEF_REQUIRE_RENDERER_THREAD();
  if (!context || !context->IsValid() || !handler) return nullptr;
  return FromJS(context, context->js(), MakeHandlerFunction(context->js(), name, handler));
}

CefRefPtr<V8ValueImpl> V8ValueImpl::MakeBool(bool value) {
  CefRefPtr<V8ValueImpl> v = new V8ValueImpl(Type::kBool);
  v->bool_ = value;
  return v;
}

CefRefPtr<V8ValueImpl> V8ValueImpl::MakeInt(int32_t value) {
  CefRefPtr<V8ValueImpl> v = new V8ValueImpl(Type::kInt);
  v->int_ = value;
  v->double_ = value;
  return v;
}

CefRefPtr<V8ValueImpl> V8ValueImpl::MakeDouble(double value) {
  CefRefPtr<V8ValueImpl> v = new V8ValueImpl(Type::kDouble);
  v->double_ = value;
  return v;
}

CefRefPtr<V8ValueImpl> V8ValueImpl::MakeString(const CefString& value) {
  CefRefPtr<V8ValueImpl> v = new V8ValueImpl(Type::kString);
  v->string_ = value;
  return v;
}

void V8ValueImpl::EnsureProtected() {
  if (!object_ || protected_) return;
  JSValueProtect(context_->js(), object_);
  protected_ = true;
}

V8ValueImpl::~V8ValueImpl() {
  if (!protected_) return;
  if (CefCurrentlyOn(TID_RENDERER)) {
    JSValueUnprotect(context_->js(), object_);
    return;
  }
  // Dropped by another thread: the collector's bookkeeping belongs to the renderer thread.
  CefRefPtr<V8ContextImpl> context = context_;
  JSObjectRef object = object_;
  CefPostTask(TID_RENDERER, base::RepeatingClosure([context, object] {
                JSValueUnprotect(context->js(), object);
              }));
}

JSObjectRef V8ValueImpl::LiveObject() const {
  return object_ && context_->IsValid() ? object_ : nullptr;
}

bool V8ValueImpl::IsValid() { return type_ != Type::kObject || context_->IsValid(); }

bool V8ValueImpl::IsArray() {
  return object_ && JSValueIsArray(context_->js(), object_);
}

bool V8ValueImpl::IsFunction() {
  return object_ && JSObjectIsFunction(context_->js(), object_);
}

bool V8ValueImpl::IsSame(CefRefPtr<CefV8Value> that) {
  auto* other = static_cast<V8ValueImpl*>(that.get());
  if (!other || other->type_ != type_) return false;
  switch (type_) {
    case Type::kUndefined:
    case Type::kNull: return true;
    case Type::kBool: return bool_ == other->bool_;
    case Type::kInt: return int_ == other->int_;
    case Type::kDouble: return double_ == other->double_;
    case Type::kString: return string_ == other->string_;
    case Type::kObject: return object_ == other->object_;
  }
  return false;
}

int32_t V8ValueImpl::GetIntValue() {
  if (type_ == Type::kInt) return int_;
  if (type_ == Type::kDouble && std::isfinite(double_) &&
      double_ > std::numeric_limits<int32_t>::min() - 1.0 &&
      double_ < std::numeric_limits<int32_t>::max() + 1.0) {
    return static_cast<int32_t>(double_);
  }
  return 0;
}

double V8ValueImpl::GetDoubleValue() {
  if (type_ == Type::kInt) return int_;
  return type_ == Type::kDouble ? double_ : 0;
}

CefString V8ValueImpl::GetStringValue() {
  return type_ == Type::kString ? string_ : CefString();
}

bool V8ValueImpl::HasValue(const CefString& key) {
  CEF_REQUIRE_RENDERER_THREAD();
  JSObjectRef object = LiveObject();
  if (!object) return false;
  ScopedJSString name(key);
  return JSObjectHasProperty(context_->js(), object, name.get());
}

CefRefPtr<CefV8Value> V8ValueImpl::GetValue(const CefString& key) {
  CEF_REQUIRE_RENDERER_THREAD();
  JSObjectRef object = LiveObject();
  if (!object) return nullptr;
  ScopedJSString name(key);
  JSValueRef exception = nullptr;
  JSValueRef value = JSObjectGetProperty(context_->js(), object, name.get(), &exception);
  if (exception) return nullptr;
  return FromJS(context_.get(), context_->js(), value);
}

bool V8ValueImpl::SetValue(const CefString& key, CefRefPtr<CefV8Value> value,
                           PropertyAttribute attribute) {
  CEF_REQUIRE_RENDERER_THREAD();
  JSObjectRef object = LiveObject();
  if (!object || !value) return false;
  JSContextRef ctx = context_->js();
  ScopedJSString name(key);
  JSValueRef exception = nullptr;
  JSObjectSetProperty(ctx, object, name.get(), ToJS(ctx, value.get()),
                      PropertyAttributes(attribute), &exception);
  return exception == nullptr;
}

CefRefPtr<CefV8Value> V8ValueImpl::ExecuteFunction(CefRefPtr<CefV8Value> object,
                                                   const CefV8ValueList& arguments) {
  return ExecuteFunctionWithContext(context_.get(), object, arguments);
}

CefRefPtr<CefV8Value> V8ValueImpl::ExecuteFunctionWithContext(CefRefPtr<CefV8Context> context,
                                                              CefRefPtr<CefV8Value> object,
                                                              const CefV8ValueList& arguments) {
  CEF_REQUIRE_RENDERER_THREAD();
  JSObjectRef function = LiveObject();
  if (!function || !JSObjectIsFunction(context_->js(), function)) return nullptr;
  auto* target = static_cast<V8ContextImpl*>(context ? context.get() : context_.get());
  // A released context is dead: its document is detached, and nothing may run there.
  if (!target->IsValid()) return nullptr;
  JSObjectRef receiver = nullptr;  // The target's global object.
  if (object) {
    receiver = static_cast<V8ValueImpl*>(object.get())->LiveObject();
    if (!receiver) return nullptr;
  }
  JSContextRef ctx = target->js();
  ScopedCurrentContext scope(target, true);
  CallArguments args(ctx, arguments);
  JSValueRef exception = nullptr;
  JSValueRef result =
      JSObjectCallAsFunction(ctx, function, receiver, args.size(), args.data(), &exception);
  if (exception) {
    // The call's caller learns of it through the null result; nothing is left behind.
    LOG(VERBOSE) << "script function threw: " << ExceptionText(ctx, exception).ToString();
    return nullptr;
  }
  return FromJS(target, ctx, result);
}

}  // namespace qvex_engine

using qvex_engine::V8ValueImpl;

CefRefPtr<CefV8Value> CefV8Value::CreateUndefined() {
  return new V8ValueImpl(V8ValueImpl::Type::kUndefined);
}

CefRefPtr<CefV8Value> CefV8Value::CreateNull() {
  return new V8ValueImpl(V8ValueImpl::Type::kNull);
}

CefRefPtr<CefV8Value> CefV8Value::CreateBool(bool value) { return V8ValueImpl::MakeBool(value); }

CefRefPtr<CefV8Value> CefV8Value::CreateInt(int32_t value) { return V8ValueImpl::MakeInt(value); }

CefRefPtr<CefV8Value> CefV8Value::CreateDouble(double value) {
  return V8ValueImpl::MakeDouble(value);
}

CefRefPtr<CefV8Value> CefV8Value::CreateString(const CefString& value) {
  return V8ValueImpl::MakeString(value);
}
