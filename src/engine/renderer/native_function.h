// Function objects whose calls reach C++ handlers: the script side of native functions.
// JavaScriptCore calls them on the renderer thread.
#ifndef QVEX_ENGINE_RENDERER_NATIVE_FUNCTION_H_
#define QVEX_ENGINE_RENDERER_NATIVE_FUNCTION_H_

#include <JavaScriptCore/JavaScript.h>

#include "include/cef_v8.h"

namespace qvex_engine {

// The natives that rewritten extension declarations forward to, by index.
class NativeTable {
 public:
  struct Entry {
    CefString name;
    CefRefPtr<CefV8Handler> handler;
  };
  // The entry at `index`, or null when the index names no registered native.
  virtual const Entry* Find(double index) const = 0;

 protected:
  ~NativeTable() = default;
};

// A function object of `ctx` whose calls run handler->Execute(name, this, arguments) with
// the function's own context current.
JSObjectRef MakeHandlerFunction(JSContextRef ctx, const CefString& name,
                                CefRefPtr<CefV8Handler> handler);

// The hidden function that rewritten declarations call as (index, this, arguments); it answers
// only indexes that `table` (which must outlive it) knows.
JSObjectRef MakeForwardingFunction(JSContextRef ctx, const NativeTable* table);

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_RENDERER_NATIVE_FUNCTION_H_
