// ExtensionRegistry and CefRegisterExtension.
#include "renderer/extension_registry.h"

#include "include/base/cef_logging.h"
#include "include/wrapper/cef_helpers.h"
#include "renderer/extension_rewriter.h"
#include "renderer/js_string.h"
#include "renderer/native_function.h"

namespace qvex_engine {

// Not enumerable, not writable, not deletable.
const char ExtensionRegistry::kForwardingName[] = "__qvexNativeCall";

namespace {

// Made before any page script runs, so it holds the original Reflect.apply: a page cannot
// redirect the forwarding. Reflect.apply passes the arguments on without copying them.
constexpr char kForwarderFactory[] =
    "(function (natives) {"
    "  'use strict';"
    "  var apply = Reflect.apply;"
    "  Object.freeze(natives);"
    "  return function (index, self, args) {"
    "    return apply(natives[typeof index === 'number' ? index : -1], self, args);"
    "  };"
    "})";

}  // namespace

ExtensionRegistry* ExtensionRegistry::Get() {
  static auto* registry = new ExtensionRegistry();
  return registry;
}

bool ExtensionRegistry::Register(const CefString& name, const CefString& code,
                                 CefRefPtr<CefV8Handler> handler) {
  CEF_REQUIRE_RENDERER_THREAD();
  if (name.empty()) return false;
  for (const Extension& e : extensions_) {
    if (e.name == name) return false;
  }
  size_t next = natives_.size();
  RewrittenExtension rewritten = RewriteNativeDeclarations(
      code.ToString16(), [&next](const NativeDeclaration&) {
        std::string call = std::string("return ") + kForwardingName + "(" +
                           std::to_string(next++) + ",this,arguments)";
        return CefString(call).ToString16();
      });
  if (!rewritten.natives.empty() && !handler) return false;
  for (const NativeDeclaration& d : rewritten.natives) natives_.push_back({d.name, handler});
  extensions_.push_back({name, rewritten.code});
  return true;
}

void ExtensionRegistry::InstallInto(V8ContextImpl* context) {
  CEF_REQUIRE_RENDERER_THREAD();
  if (extensions_.empty() || !context->IsValid()) return;
  JSGlobalContextRef ctx = context->js();
  JSObjectRef global = JSContextGetGlobalObject(ctx);
  ScopedJSString key(kForwardingName);
  // A pop-up's first real document reuses the global object of its initial empty one.
  if (!JSObjectHasProperty(ctx, global, key.get())) {
    JSObjectRef natives = JSObjectMakeArray(ctx, 0, nullptr, nullptr);
    for (size_t i = 0; i < natives_.size(); ++i) {
      JSObjectSetPropertyAtIndex(
          ctx, natives, static_cast<unsigned>(i),
          MakeHandlerFunction(ctx, natives_[i].name, natives_[i].handler), nullptr);
    }
    JSValueRef factory = context->Evaluate(kForwarderFactory, CefString(), 1, nullptr);
    JSValueRef forwarder = nullptr;
    if (factory && JSValueIsObject(ctx, factory)) {
      JSValueRef arg = natives;
      forwarder = JSObjectCallAsFunction(ctx, JSValueToObject(ctx, factory, nullptr), nullptr,
                                         1, &arg, nullptr);
    }
    if (!forwarder) return;
    JSObjectSetProperty(ctx, global, key.get(), forwarder,
                        kJSPropertyAttributeReadOnly | kJSPropertyAttributeDontEnum |
                            kJSPropertyAttributeDontDelete,
                        nullptr);
  }
  for (const Extension& e : extensions_) {
    JSValueRef exception = nullptr;
    context->Evaluate(e.code, e.name, 1, &exception);
    if (exception) {
      LOG(WARNING) << "extension " << e.name.ToString() << ": "
                   << ExceptionText(ctx, exception).ToString();
      context->ReportToConsole(exception);
    }
  }
}

}  // namespace qvex_engine

bool CefRegisterExtension(const CefString& extension_name, const CefString& javascript_code,
                          CefRefPtr<CefV8Handler> handler) {
  return qvex_engine::ExtensionRegistry::Get()->Register(extension_name, javascript_code,
                                                         handler);
}
