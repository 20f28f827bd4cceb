// Native function objects: a JavaScriptCore class whose call goes to a CefV8Handler.
#include "renderer/native_function.h"

#include <exception>

#include "include/base/cef_logging.h"
#include "renderer/js_string.h"
#include "renderer/v8_context_impl.h"
#include "renderer/v8_value_impl.h"

namespace qvex_engine {

namespace {

// Beyond this an `arguments` object is not what a declaration's forwarding passes.
constexpr double kMaxArguments = 65535;

struct HandlerBinding {
  CefString name;
  CefRefPtr<CefV8Handler> handler;
};

JSValueRef Undefined(JSContextRef ctx) { return JSValueMakeUndefined(ctx); }

// Runs the handler with `context` current and turns its answer into the call's result.
JSValueRef Invoke(JSContextRef ctx, V8ContextImpl* context, CefV8Handler* handler,
                  const CefString& name, CefRefPtr<V8ValueImpl> self,
                  const CefV8ValueList& arguments, JSValueRef* exception) {
  CefRefPtr<CefV8Value> retval;
  CefString error;
  bool handled = false;
  try {
    handled = handler->Execute(name, self, arguments, retval, error);
  } catch (const std::exception& e) {
    LOG(ERROR) << "native function " << name.ToString() << " raised: " << e.what();
  } catch (...) {
    LOG(ERROR) << "native function " << name.ToString() << " raised an unknown exception";
  }
  // Values the handler kept must now survive collection on their own.
  for (const CefRefPtr<CefV8Value>& v : arguments) {
    if (!v->HasOneRef()) static_cast<V8ValueImpl*>(v.get())->EnsureProtected();
  }
  if (!self->HasOneRef()) static_cast<V8ValueImpl*>(self.get())->EnsureProtected();
  if (!handled) return Undefined(ctx);
  if (!error.empty()) {
    JSValueRef message = MakeJSString(ctx, error);
    if (exception) *exception = JSObjectMakeError(ctx, 1, &message, nullptr);
    return Undefined(ctx);
  }
  return V8ValueImpl::ToJS(ctx, retval.get());
}

JSValueRef CallHandler(JSContextRef ctx, JSObjectRef function, JSObjectRef self, size_t argc,
                       const JSValueRef argv[], JSValueRef* exception) {
  auto* binding = static_cast<HandlerBinding*>(JSObjectGetPrivate(function));
  // A function left behind in a released document has no context to run for.
  V8ContextImpl* context = V8ContextImpl::FromJS(ctx);
  if (!binding || !context) return Undefined(ctx);
  CefRefPtr<V8ContextImpl> keep(context);
  ScopedCurrentContext scope(context, false);
  CefV8ValueList arguments;
  arguments.reserve(argc);
  for (size_t i = 0; i < argc; ++i)
    arguments.push_back(V8ValueImpl::FromJS(context, ctx, argv[i], false));
  return Invoke(ctx, context, binding->handler.get(), binding->name,
                V8ValueImpl::FromJS(context, ctx, self, false), arguments, exception);
}

JSValueRef CallForwarding(JSContextRef ctx, JSObjectRef function, JSObjectRef, size_t argc,
                          const JSValueRef argv[], JSValueRef* exception) {
  auto* table = static_cast<const NativeTable*>(JSObjectGetPrivate(function));
  V8ContextImpl* context = V8ContextImpl::FromJS(ctx);
  if (!table || !context || argc < 3 || !JSValueIsNumber(ctx, argv[0]) ||
      !JSValueIsObject(ctx, argv[2])) {
    return Undefined(ctx);
  }
  const NativeTable::Entry* entry = table->Find(JSValueToNumber(ctx, argv[0], nullptr));
  if (!entry || !entry->handler) return Undefined(ctx);
  CefRefPtr<V8ContextImpl> keep(context);
  ScopedCurrentContext scope(context, false);

  JSObjectRef list = JSValueToObject(ctx, argv[2], nullptr);
  static JSStringRef length_key = JSStringCreateWithUTF8CString("length");
  double length = JSValueToNumber(ctx, JSObjectGetProperty(ctx, list, length_key, nullptr), nullptr);
  if (!(length >= 0)) length = 0;
  if (length > kMaxArguments) length = kMaxArguments;
  const unsigned count = static_cast<unsigned>(length);
  CefV8ValueList arguments;
  arguments.reserve(count);
  for (unsigned i = 0; i < count; ++i) {
    JSValueRef value = JSObjectGetPropertyAtIndex(ctx, list, i, nullptr);
    arguments.push_back(V8ValueImpl::FromJS(context, ctx, value, false));
  }
  return Invoke(ctx, context, entry->handler.get(), entry->name,
                V8ValueImpl::FromJS(context, ctx, argv[1], false), arguments, exception);
}

void FinalizeHandler(JSObjectRef object) {
  delete static_cast<HandlerBinding*>(JSObjectGetPrivate(object));
}

JSClassRef MakeClass(JSObjectCallAsFunctionCallback call, JSObjectFinalizeCallback finalize) {
  JSClassDefinition definition = kJSClassDefinitionEmpty;
  definition.className = "Function";
  definition.callAsFunction = call;
  definition.finalize = finalize;
  return JSClassCreate(&definition);
}

// Gives the object Function.prototype, so call, apply and bind work on it as on any function.
JSObjectRef AsFunction(JSContextRef ctx, JSObjectRef object) {
  JSObjectRef global = JSContextGetGlobalObject(ctx);
  ScopedJSString function_key("Function");
  ScopedJSString prototype_key("prototype");
  JSValueRef constructor = JSObjectGetProperty(ctx, global, function_key.get(), nullptr);
  if (constructor && JSValueIsObject(ctx, constructor)) {
    JSValueRef prototype = JSObjectGetProperty(
        ctx, JSValueToObject(ctx, constructor, nullptr), prototype_key.get(), nullptr);
    if (prototype && JSValueIsObject(ctx, prototype)) JSObjectSetPrototype(ctx, object, prototype);
  }
  return object;
}

}  // namespace

JSObjectRef MakeHandlerFunction(JSContextRef ctx, const CefString& name,
                                CefRefPtr<CefV8Handler> handler) {
  static JSClassRef handler_class = MakeClass(CallHandler, FinalizeHandler);
  return AsFunction(ctx, JSObjectMake(ctx, handler_class, new HandlerBinding{name, handler}));
}

JSObjectRef MakeForwardingFunction(JSContextRef ctx, const NativeTable* table) {
  static JSClassRef forwarding_class = MakeClass(CallForwarding, nullptr);
  return AsFunction(ctx, JSObjectMake(ctx, forwarding_class,
                                      const_cast<NativeTable*>(table)));
}

}  // namespace qvex_engine
