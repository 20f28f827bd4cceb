// Native function objects: a JavaScriptCore class whose call goes to a CefV8Handler.
#include "renderer/native_function.h"

#include <exception>

#include "include/base/cef_logging.h"
#include "renderer/js_string.h"
#include "renderer/v8_context_impl.h"
#include "renderer/v8_value_impl.h"

namespace qvex_engine {

namespace {

struct HandlerBinding {
  CefString name;
  CefRefPtr<CefV8Handler> handler;
};

JSValueRef CallHandler(JSContextRef ctx, JSObjectRef function, JSObjectRef receiver,
                       size_t argc, const JSValueRef argv[], JSValueRef* exception) {
  auto* binding = static_cast<HandlerBinding*>(JSObjectGetPrivate(function));
  // `ctx` is the function's own realm. A function left behind in a released document has no
  // context to run for.
  V8ContextImpl* context = V8ContextImpl::FromJS(ctx);
  if (!binding || !context) return JSValueMakeUndefined(ctx);
  CefRefPtr<V8ContextImpl> keep(context);
  ScopedCurrentContext scope(context, false);

  // The call's values are alive on the script stack while it runs, so they are protected
  // from collection only if the handler keeps them (below).
  CefRefPtr<V8ValueImpl> self = V8ValueImpl::FromJS(context, ctx, receiver, false);
  CefV8ValueList arguments;
  arguments.reserve(argc);
  for (size_t i = 0; i < argc; ++i)
    arguments.push_back(V8ValueImpl::FromJS(context, ctx, argv[i], false));

  CefRefPtr<CefV8Value> retval;
  CefString error;
  bool handled = false;
  try {
    handled = binding->handler->Execute(binding->name, self.get(), arguments, retval, error);
  } catch (const std::exception& e) {
    LOG(ERROR) << "native function " << binding->name.ToString() << " raised: " << e.what();
  } catch (...) {
    LOG(ERROR) << "native function " << binding->name.ToString() << " raised";
  }
  for (const CefRefPtr<CefV8Value>& v : arguments) {
    if (!v->HasOneRef()) static_cast<V8ValueImpl*>(v.get())->EnsureProtected();
  }
  if (!self->HasOneRef()) self->EnsureProtected();

  if (!handled) return JSValueMakeUndefined(ctx);
  if (!error.empty()) {
    JSValueRef message = MakeJSString(ctx, error);
    if (exception) *exception = JSObjectMakeError(ctx, 1, &message, nullptr);
    return JSValueMakeUndefined(ctx);
  }
  return V8ValueImpl::ToJS(ctx, retval.get());
}

void FinalizeHandler(JSObjectRef object) {
  delete static_cast<HandlerBinding*>(JSObjectGetPrivate(object));
}

JSClassRef HandlerClass() {
  static JSClassRef handler_class = [] {
    JSClassDefinition definition = kJSClassDefinitionEmpty;
    definition.className = "Function";
    definition.callAsFunction = CallHandler;
    definition.finalize = FinalizeHandler;
    return JSClassCreate(&definition);
  }();
  return handler_class;
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
  return AsFunction(ctx, JSObjectMake(ctx, HandlerClass(), new HandlerBinding{name, handler}));
}

}  // namespace qvex_engine
