// The router's page functions: their script and its installation, and answer delivery.
#include "renderer/router_page_functions.h"

#include <random>

#include "include/base/cef_logging.h"
#include "renderer/js_string.h"

namespace qvex_engine {

namespace {

// Called once per context with the two natives, the secret, the global object and the two
// names. What it captures at that moment (before any script of the page has run) is what it
// uses later, so a page that replaces Error, Function.prototype.call or Object.defineProperty
// changes nothing.
// Checks and messages are those of the native functions before them; callbacks are called
// with the global object as `this`. A delivery is a call of the query function with the
// secret as its first argument, so a released document's functions, still held by a
// reused global object, serve the requests they sent.
constexpr char kScript[] = R"js((function (send, cancel, secret, global, queryName, cancelName) {
  'use strict';
  var Err = Error, define = Object.defineProperty;
  var call = Function.prototype.call.bind(Function.prototype.call);
  var pending = Object.create(null);
  function invalid(text) { return new Err('Invalid arguments; ' + text); }
  function member(query, key, type) {
    var value = query[key];
    if (value === undefined && !(key in query)) return undefined;
    if (typeof value !== type)
      throw invalid("object member '" + key + "' must have type " + type);
    return value;
  }
  function deliver(id, success, code, text) {
    var request = pending[id];
    if (request === undefined) return;
    if (!success || !request.persistent) delete pending[id];
    if (success) {
      if (request.onSuccess !== undefined) call(request.onSuccess, global, text);
    } else if (request.onFailure !== undefined) {
      call(request.onFailure, global, code, text);
    }
  }
  // Takes more parameters than a page passes: the engine's deliveries come this way.
  function query(object, id, success, code, text) {
    if (object === secret) {
      deliver(id, success, code, text);
      return;
    }
    if (arguments.length !== 1 || object === null ||
        (typeof object !== 'object' && typeof object !== 'function'))
      throw invalid('expecting a single object');
    var request = object.request;
    if (typeof request !== 'string')
      throw invalid("object member 'request' is required and must have type string");
    var onSuccess = member(object, 'onSuccess', 'function');
    var onFailure = member(object, 'onFailure', 'function');
    var persistent = member(object, 'persistent', 'boolean') === true;
    var requestId = send(request, persistent);
    pending[requestId] = {onSuccess: onSuccess, onFailure: onFailure, persistent: persistent};
    return requestId;
  }
  function cancelQuery(id) {
    if (arguments.length !== 1 || typeof id !== 'number' || (id | 0) !== id ||
        (id === 0 && 1 / id < 0))
      throw invalid('expecting a single integer');
    if (!cancel(id)) return false;
    delete pending[id];
    return true;
  }
  function install(name, fn) {
    define(fn, 'name', {value: name});
    define(fn, 'length', {value: 1});
    if (!(name in global))
      define(global, name, {value: fn, writable: false, enumerable: false, configurable: false});
  }
  install(queryName, query);
  install(cancelName, cancelQuery);
}))js";

// A native of the page functions: a function object of its context whose call goes straight
// to the router, with no value wrappers in between (these run once per query).
struct NativeBinding {
  CefRefPtr<RouterPageNatives> natives;
  bool send;  // Else cancel.
};

JSValueRef Throw(JSContextRef ctx, const std::string& text, JSValueRef* exception) {
  JSValueRef message = MakeJSString(ctx, CefString(text));
  if (exception) *exception = JSObjectMakeError(ctx, 1, &message, nullptr);
  return JSValueMakeUndefined(ctx);
}

JSValueRef CallNative(JSContextRef ctx, JSObjectRef function, JSObjectRef, size_t argc,
                      const JSValueRef argv[], JSValueRef* exception) {
  auto* binding = static_cast<NativeBinding*>(JSObjectGetPrivate(function));
  V8ContextImpl* context = V8ContextImpl::FromJS(ctx);
  // A function left behind in a released document has no context to act for.
  if (!binding || !context) return JSValueMakeUndefined(ctx);
  CefRefPtr<V8ContextImpl> keep(context);
  if (binding->send && argc == 2 && JSValueIsString(ctx, argv[0])) {
    std::string error;
    const int id = binding->natives->Send(context, ValueToString(ctx, argv[0]),
                                          JSValueToBoolean(ctx, argv[1]), &error);
    return id > 0 ? JSValueMakeNumber(ctx, id) : Throw(ctx, error, exception);
  }
  if (!binding->send && argc == 1 && JSValueIsNumber(ctx, argv[0])) {
    const double id = JSValueToNumber(ctx, argv[0], nullptr);
    return JSValueMakeBoolean(ctx, id > 0 && id <= 2147483647.0 &&
                                       binding->natives->Cancel(context, static_cast<int>(id)));
  }
  return Throw(ctx, "Invalid arguments", exception);
}

JSObjectRef MakeNative(JSContextRef ctx, CefRefPtr<RouterPageNatives> natives, bool send) {
  static JSClassRef native_class = [] {
    JSClassDefinition definition = kJSClassDefinitionEmpty;
    definition.className = "Function";
    definition.callAsFunction = CallNative;
    definition.finalize = [](JSObjectRef object) {
      delete static_cast<NativeBinding*>(JSObjectGetPrivate(object));
    };
    return JSClassCreate(&definition);
  }();
  return JSObjectMake(ctx, native_class, new NativeBinding{natives, send});
}

double RandomSecret() {
  std::random_device device;
  // A whole number below 2^53, so the page's number is exactly this one.
  const uint64_t bits = (static_cast<uint64_t>(device()) << 32) | device();
  return static_cast<double>(bits & ((uint64_t{1} << 53) - 1));
}

}  // namespace

RouterPageFunctions::RouterPageFunctions(const CefString& query_name,
                                         const CefString& cancel_name)
    : query_name_(query_name),
      cancel_name_(cancel_name),
      query_key_(JSStringCreateWithCharacters(
          reinterpret_cast<const JSChar*>(query_name.c_str()), query_name.length())),
      secret_(RandomSecret()) {}

RouterPageFunctions::~RouterPageFunctions() { JSStringRelease(query_key_); }

void RouterPageFunctions::Install(V8ContextImpl* context,
                                  CefRefPtr<RouterPageNatives> natives) const {
  JSValueRef exception = nullptr;
  JSValueRef factory = context->Evaluate(kScript, CefString(), 1, &exception);
  JSContextRef ctx = context->js();
  if (factory && JSValueIsObject(ctx, factory)) {
    ScopedCurrentContext scope(context, true);
    const JSValueRef args[] = {
        MakeNative(ctx, natives, true),
        MakeNative(ctx, natives, false),
        JSValueMakeNumber(ctx, secret_),
        JSContextGetGlobalObject(ctx),
        MakeJSString(ctx, query_name_),
        MakeJSString(ctx, cancel_name_),
    };
    JSObjectCallAsFunction(ctx, JSValueToObject(ctx, factory, nullptr), nullptr,
                           sizeof args / sizeof args[0], args, &exception);
  }
  if (exception)
    LOG(ERROR) << "the query functions could not be installed: "
               << ExceptionText(ctx, exception).ToString();
}

void RouterPageFunctions::Deliver(V8ContextImpl* context, int request_id, bool success,
                                  int error_code, const CefString& payload) const {
  // A released context is dead: its document is detached, and nothing may run there.
  if (!context->IsValid()) return;
  JSContextRef ctx = context->js();
  ScopedCurrentContext scope(context, true);
  JSValueRef function =
      JSObjectGetProperty(ctx, JSContextGetGlobalObject(ctx), query_key_, nullptr);
  if (!function || !JSValueIsObject(ctx, function)) return;
  const JSValueRef args[] = {
      JSValueMakeNumber(ctx, secret_),
      JSValueMakeNumber(ctx, request_id),
      JSValueMakeBoolean(ctx, success),
      JSValueMakeNumber(ctx, error_code),
      MakeJSString(ctx, payload),
  };
  JSValueRef exception = nullptr;
  JSObjectCallAsFunction(ctx, JSValueToObject(ctx, function, nullptr), nullptr,
                         sizeof args / sizeof args[0], args, &exception);
  if (exception)
    LOG(VERBOSE) << "a query callback threw: " << ExceptionText(ctx, exception).ToString();
}

}  // namespace qvex_engine
