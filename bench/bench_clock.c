/* Web extension the benchmarks add beside a program's own modules: every page gets
 * benchNow(), CLOCK_MONOTONIC in microseconds with sub-microsecond digits (pages only have a
 * clock coarsened to 1 ms, or 20 us when cross-origin isolated), and two native functions
 * that do nothing: benchNop() through JavaScriptCore's C API (the floor for any native
 * function) and benchNopGObject() through its GObject API. Runs on the web process's main
 * thread.
 *
 * benchNow() is a C API function too: a GObject API call makes the context's JSCContext
 * wrapper, and drops it again unless something else in the process holds it, so its cost
 * (about 3,000 instructions a call when nothing does) would depend on the program measured. */
#include <JavaScriptCore/JavaScript.h>
#include <jsc/jsc.h>
#include <time.h>
#include <webkit2/webkit-web-extension.h>

static JSValueRef bench_nop_c(JSContextRef ctx, JSObjectRef function, JSObjectRef self,
                              size_t argc, const JSValueRef argv[], JSValueRef *exception) {
  return JSValueMakeUndefined(ctx);
}

static JSValueRef bench_now(JSContextRef ctx, JSObjectRef function, JSObjectRef self,
                            size_t argc, const JSValueRef argv[], JSValueRef *exception) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return JSValueMakeNumber(ctx, (double)ts.tv_sec * 1e6 + (double)ts.tv_nsec / 1e3);
}

static void set_c_function(JSGlobalContextRef global, const char *name,
                           JSObjectCallAsFunctionCallback call) {
  JSStringRef js_name = JSStringCreateWithUTF8CString(name);
  JSObjectSetProperty(global, JSContextGetGlobalObject(global), js_name,
                      JSObjectMakeFunctionWithCallback(global, js_name, call),
                      kJSPropertyAttributeNone, NULL);
  JSStringRelease(js_name);
}

static void bench_nop(GPtrArray *args, gpointer data) {}

static void on_window_object_cleared(WebKitScriptWorld *world, WebKitWebPage *page,
                                     WebKitFrame *frame, gpointer data) {
  JSCContext *context = webkit_frame_get_js_context_for_script_world(frame, world);
  JSCValue *nop = jsc_value_new_function_variadic(
      context, "benchNopGObject", G_CALLBACK(bench_nop), NULL, NULL, G_TYPE_NONE);
  jsc_context_set_value(context, "benchNopGObject", nop);
  g_object_unref(nop);
  g_object_unref(context);

  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  JSGlobalContextRef global = webkit_frame_get_javascript_context_for_script_world(frame, world);
  G_GNUC_END_IGNORE_DEPRECATIONS
  set_c_function(global, "benchNow", bench_now);
  set_c_function(global, "benchNop", bench_nop_c);
}

G_MODULE_EXPORT void webkit_web_extension_initialize(WebKitWebExtension *extension) {
  g_signal_connect(webkit_script_world_get_default(), "window-object-cleared",
                   G_CALLBACK(on_window_object_cleared), NULL);
}
