// Function objects whose calls reach C++ handlers: the script side of native functions.
// JavaScriptCore calls them on the renderer thread.
#ifndef QVEX_ENGINE_RENDERER_NATIVE_FUNCTION_H_
#define QVEX_ENGINE_RENDERER_NATIVE_FUNCTION_H_

#include <JavaScriptCore/JavaScript.h>

#include "include/cef_v8.h"

namespace qvex_engine {

// A function object of `ctx` whose calls run handler->Execute(name, this, arguments) with
// the function's own context current. Calls from a released context do nothing.
JSObjectRef MakeHandlerFunction(JSContextRef ctx, const CefString& name,
                                CefRefPtr<CefV8Handler> handler);

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_RENDERER_NATIVE_FUNCTION_H_
