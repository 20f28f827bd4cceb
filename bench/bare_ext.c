/* Web extension of the bare WebKitGTK program: every page gets rawPing(text, onReply), which
 * sends one WebKit user message to the UI process and calls onReply with the reply's text when
 * it comes back. Runs on the web process's main thread. */
#include <jsc/jsc.h>
#include <webkit2/webkit-web-extension.h>

typedef struct {
  JSCValue *callback;
} Pending;

static void on_reply(GObject *source, GAsyncResult *result, gpointer data) {
  Pending *pending = data;
  WebKitUserMessage *reply =
      webkit_web_page_send_message_to_view_finish(WEBKIT_WEB_PAGE(source), result, NULL);
  const char *text = "";
  GVariant *params = reply ? webkit_user_message_get_parameters(reply) : NULL;
  if (params && g_variant_is_of_type(params, G_VARIANT_TYPE_STRING))
    text = g_variant_get_string(params, NULL);
  JSCValue *ret = jsc_value_function_call(pending->callback, G_TYPE_STRING, text, G_TYPE_NONE);
  if (ret) g_object_unref(ret);
  JSCContext *context = jsc_value_get_context(pending->callback);
  if (jsc_context_get_exception(context)) jsc_context_clear_exception(context);
  g_object_unref(pending->callback);
  g_free(pending);
  if (reply) g_object_unref(reply);
}

static void raw_ping(GPtrArray *args, gpointer page) {
  if (args->len < 2) return;
  JSCValue *text = g_ptr_array_index(args, 0);
  JSCValue *callback = g_ptr_array_index(args, 1);
  if (!jsc_value_is_function(callback)) return;
  char *str = jsc_value_to_string(text);
  Pending *pending = g_new0(Pending, 1);
  pending->callback = g_object_ref(callback);
  webkit_web_page_send_message_to_view(
      WEBKIT_WEB_PAGE(page), webkit_user_message_new("ping", g_variant_new_string(str)), NULL,
      on_reply, pending);
  g_free(str);
}

static void on_window_object_cleared(WebKitScriptWorld *world, WebKitWebPage *page,
                                     WebKitFrame *frame, gpointer data) {
  JSCContext *context = webkit_frame_get_js_context_for_script_world(frame, world);
  JSCValue *function = jsc_value_new_function_variadic(
      context, "rawPing", G_CALLBACK(raw_ping), page, NULL, G_TYPE_NONE);
  jsc_context_set_value(context, "rawPing", function);
  g_object_unref(function);
  g_object_unref(context);
}

G_MODULE_EXPORT void webkit_web_extension_initialize(WebKitWebExtension *extension) {
  g_signal_connect(webkit_script_world_get_default(), "window-object-cleared",
                   G_CALLBACK(on_window_object_cleared), NULL);
}
