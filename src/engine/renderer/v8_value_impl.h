// V8ValueImpl: a script value over JavaScriptCore. Primitives are held as C++ values (so they
// can be made outside any context and used in any); objects are held, protected from
// collection, together with the context they came from. Renderer thread only.
#ifndef QVEX_ENGINE_RENDERER_V8_VALUE_IMPL_H_
#define QVEX_ENGINE_RENDERER_V8_VALUE_IMPL_H_

#include <JavaScriptCore/JavaScript.h>

#include <string>

#include "include/cef_v8.h"
#include "renderer/v8_context_impl.h"

namespace qvex_engine {

class V8ValueImpl : public CefV8Value {
 public:
  enum class Type { kUndefined, kNull, kBool, kInt, kDouble, kString, kObject };

  explicit V8ValueImpl(Type type) : type_(type) {}

  static CefRefPtr<V8ValueImpl> MakeBool(bool value);
  static CefRefPtr<V8ValueImpl> MakeInt(int32_t value);
  static CefRefPtr<V8ValueImpl> MakeDouble(double value);
  static CefRefPtr<V8ValueImpl> MakeString(const CefString& value);

  // A value of script running in `ctx`, whose objects belong to `context`. An object is
  // protected from collection at once, or, with `protect` false, only by EnsureProtected: a
  // native call's arguments are alive for the call anyway, and most are dropped with it.
  static CefRefPtr<V8ValueImpl> FromJS(V8ContextImpl* context, JSContextRef ctx,
                                       JSValueRef value, bool protect = true);
  void EnsureProtected();
  // `value` as a script value in `ctx` (a null value gives undefined). The result is not
  // protected from collection: use it at once or keep it on the stack.
  static JSValueRef ToJS(JSContextRef ctx, CefV8Value* value);
  // A function object of `context` whose calls reach `handler` as `name`.
  static CefRefPtr<CefV8Value> CreateFunction(V8ContextImpl* context, const CefString& name,
                                              CefRefPtr<CefV8Handler> handler);

  bool IsValid() override;
  bool IsUndefined() override { return type_ == Type::kUndefined; }
  bool IsNull() override { return type_ == Type::kNull; }
  bool IsBool() override { return type_ == Type::kBool; }
  bool IsInt() override { return type_ == Type::kInt; }
  // Every number, integral or not, as V8's number values.
  bool IsDouble() override { return type_ == Type::kInt || type_ == Type::kDouble; }
  bool IsString() override { return type_ == Type::kString; }
  bool IsObject() override { return type_ == Type::kObject; }
  bool IsArray() override;
  bool IsFunction() override;
  bool IsSame(CefRefPtr<CefV8Value> that) override;

  bool GetBoolValue() override { return type_ == Type::kBool && bool_; }
  int32_t GetIntValue() override;
  double GetDoubleValue() override;
  CefString GetStringValue() override;

  bool HasValue(const CefString& key) override;
  CefRefPtr<CefV8Value> GetValue(const CefString& key) override;
  bool SetValue(const CefString& key, CefRefPtr<CefV8Value> value,
                PropertyAttribute attribute) override;

  CefRefPtr<CefV8Value> ExecuteFunction(CefRefPtr<CefV8Value> object,
                                        const CefV8ValueList& arguments) override;
  CefRefPtr<CefV8Value> ExecuteFunctionWithContext(CefRefPtr<CefV8Context> context,
                                                   CefRefPtr<CefV8Value> object,
                                                   const CefV8ValueList& arguments) override;

 private:
  ~V8ValueImpl() override;

  // The object, if this is one whose context is still live.
  JSObjectRef LiveObject() const;

  const Type type_;
  bool bool_ = false;
  int32_t int_ = 0;
  double double_ = 0;
  CefString string_;
  JSObjectRef object_ = nullptr;
  bool protected_ = false;
  CefRefPtr<V8ContextImpl> context_;     // The object's context.

  IMPLEMENT_REFCOUNTING(V8ValueImpl);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_RENDERER_V8_VALUE_IMPL_H_
