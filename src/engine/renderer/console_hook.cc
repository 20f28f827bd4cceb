// ConsoleHook: native console wrappers and window listeners, over the JavaScriptCore C API.
// Renderer thread (every callback runs inside the page's script).
#include "renderer/console_hook.h"

#include <string>

#include "include/base/cef_logging.h"
#include "renderer/console_log.h"
#include "renderer/js_string.h"

namespace qvex_engine {

namespace {

// The key under which a wrapper keeps the console function it wraps. Symbols belong to the
// web process's one script VM, so one key serves every document; a symbol-keyed, hidden
// property keeps the original alive exactly as long as the wrapper.
JSValueRef g_original_key = nullptr;

struct Method {
  const char* name;
  int severity;
};
constexpr Method kMethods[] = {
    {"log", cef::logging::LOG_INFO},       {"info", cef::logging::LOG_INFO},
    {"debug", cef::logging::LOG_INFO},     {"warn", cef::logging::LOG_WARNING},
    {"error", cef::logging::LOG_ERROR},
};

JSValueRef Property(JSContextRef ctx, JSValueRef object, const char* name) {
  if (!object || !JSValueIsObject(ctx, object)) return nullptr;
  ScopedJSString key(name);
  return JSObjectGetProperty(ctx, JSValueToObject(ctx, object, nullptr), key.get(), nullptr);
}

std::string StringOf(JSContextRef ctx, JSValueRef value) {
  return ValueToString(ctx, value).ToString();
}

unsigned NumberOf(JSContextRef ctx, JSValueRef value) {
  if (!value || !JSValueIsNumber(ctx, value)) return 0;
  const double n = JSValueToNumber(ctx, value, nullptr);
  return n > 0 && n < 4e9 ? static_cast<unsigned>(n) : 0;
}

// Where the page's script is now: an Error made here takes the line and source of the nearest
// frame of script (the native frames have none).
void CallerLocation(JSContextRef ctx, std::string* source, unsigned* line) {
  JSObjectRef error = JSObjectMakeError(ctx, 0, nullptr, nullptr);
  *source = StringOf(ctx, Property(ctx, error, "sourceURL"));
  *line = NumberOf(ctx, Property(ctx, error, "line"));
}

template <int kSeverity>
JSValueRef OnConsoleCall(JSContextRef ctx, JSObjectRef function, JSObjectRef this_object,
                         size_t argc, const JSValueRef argv[], JSValueRef* exception) {
  if (ConsoleLog::IsOn(kSeverity)) {
    std::string text;
    for (size_t i = 0; i < argc; ++i) {
      if (i) text += ' ';
      text += StringOf(ctx, argv[i]);
    }
    std::string source;
    unsigned line = 0;
    CallerLocation(ctx, &source, &line);
    ConsoleLog::Write(kSeverity, text, source, line);
  }
  JSValueRef original = JSObjectGetPropertyForKey(ctx, function, g_original_key, nullptr);
  if (!original || !JSValueIsObject(ctx, original)) return JSValueMakeUndefined(ctx);
  JSObjectRef original_function = JSValueToObject(ctx, original, nullptr);
  if (!JSObjectIsFunction(ctx, original_function)) return JSValueMakeUndefined(ctx);
  return JSObjectCallAsFunction(ctx, original_function, this_object, argc, argv, exception);
}

JSObjectCallAsFunctionCallback CallbackFor(int severity) {
  switch (severity) {
    case cef::logging::LOG_WARNING: return OnConsoleCall<cef::logging::LOG_WARNING>;
    case cef::logging::LOG_ERROR: return OnConsoleCall<cef::logging::LOG_ERROR>;
    default: return OnConsoleCall<cef::logging::LOG_INFO>;
  }
}

// window "error": an exception nobody caught.
JSValueRef OnError(JSContextRef ctx, JSObjectRef, JSObjectRef, size_t argc,
                   const JSValueRef argv[], JSValueRef*) {
  if (argc < 1 || !ConsoleLog::IsOn(cef::logging::LOG_ERROR)) return JSValueMakeUndefined(ctx);
  ConsoleLog::Write(cef::logging::LOG_ERROR, StringOf(ctx, Property(ctx, argv[0], "message")),
                    StringOf(ctx, Property(ctx, argv[0], "filename")),
                    NumberOf(ctx, Property(ctx, argv[0], "lineno")));
  return JSValueMakeUndefined(ctx);
}

// window "unhandledrejection": a promise rejected with no handler; an Error as the reason
// knows where it was made.
JSValueRef OnUnhandledRejection(JSContextRef ctx, JSObjectRef, JSObjectRef, size_t argc,
                                const JSValueRef argv[], JSValueRef*) {
  if (argc < 1 || !ConsoleLog::IsOn(cef::logging::LOG_ERROR)) return JSValueMakeUndefined(ctx);
  JSValueRef reason = Property(ctx, argv[0], "reason");
  std::string source;
  unsigned line = 0;
  if (reason && JSValueIsObject(ctx, reason)) {
    JSValueRef url = Property(ctx, reason, "sourceURL");
    if (url && JSValueIsString(ctx, url)) source = StringOf(ctx, url);
    line = NumberOf(ctx, Property(ctx, reason, "line"));
  }
  ConsoleLog::Write(cef::logging::LOG_ERROR,
                    "Unhandled Promise Rejection: " + StringOf(ctx, reason), source, line);
  return JSValueMakeUndefined(ctx);
}

void Listen(JSContextRef ctx, JSObjectRef window, const char* type,
            JSObjectCallAsFunctionCallback callback) {
  JSValueRef add = Property(ctx, window, "addEventListener");
  if (!add || !JSValueIsObject(ctx, add)) return;
  ScopedJSString type_string(type);
  JSValueRef args[] = {JSValueMakeString(ctx, type_string.get()),
                       JSObjectMakeFunctionWithCallback(ctx, nullptr, callback)};
  JSObjectCallAsFunction(ctx, JSValueToObject(ctx, add, nullptr), window, 2, args, nullptr);
}

}  // namespace

void ConsoleHook::InstallInto(JSGlobalContextRef ctx) {
  if (!g_original_key) {
    ScopedJSString description("qvex console original");
    g_original_key = JSValueMakeSymbol(ctx, description.get());
    JSValueProtect(ctx, g_original_key);
  }
  JSObjectRef window = JSContextGetGlobalObject(ctx);
  JSValueRef console = Property(ctx, window, "console");
  if (!console || !JSValueIsObject(ctx, console)) return;
  JSObjectRef console_object = JSValueToObject(ctx, console, nullptr);
  // The same global object again: it has its wrappers and listeners already.
  JSValueRef first = Property(ctx, console, kMethods[0].name);
  if (first && JSValueIsObject(ctx, first) &&
      JSObjectHasPropertyForKey(ctx, JSValueToObject(ctx, first, nullptr), g_original_key,
                                nullptr)) {
    return;
  }
  for (const Method& method : kMethods) {
    JSValueRef original = Property(ctx, console, method.name);
    if (!original || !JSValueIsObject(ctx, original)) continue;
    ScopedJSString name(method.name);
    JSObjectRef wrapper =
        JSObjectMakeFunctionWithCallback(ctx, name.get(), CallbackFor(method.severity));
    JSObjectSetPropertyForKey(ctx, wrapper, g_original_key, original,
                              kJSPropertyAttributeReadOnly | kJSPropertyAttributeDontEnum |
                                  kJSPropertyAttributeDontDelete,
                              nullptr);
    // As the console's own methods are: writable, configurable, enumerable.
    JSObjectSetProperty(ctx, console_object, name.get(), wrapper, kJSPropertyAttributeNone,
                        nullptr);
  }
  Listen(ctx, window, "error", OnError);
  Listen(ctx, window, "unhandledrejection", OnUnhandledRejection);
}

}  // namespace qvex_engine
