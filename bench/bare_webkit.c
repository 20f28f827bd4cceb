/* The floor for any WebKitGTK shell: one 800x600 GTK window holding one WebKitWebView on the
 * URL given, ending when the window is closed. With --ext-dir it loads the web extensions of
 * that folder and answers every user message from them at once with the same parameters (the
 * raw round trip that any router over WebKit pays). All callbacks run on the GTK main thread. */
#include <gtk/gtk.h>
#include <stdio.h>
#include <string.h>
#include <webkit2/webkit2.h>

static gboolean on_user_message(WebKitWebView *view, WebKitUserMessage *message, gpointer data) {
  GVariant *params = webkit_user_message_get_parameters(message);
  webkit_user_message_send_reply(
      message, webkit_user_message_new(webkit_user_message_get_name(message),
                                       params ? g_variant_ref(params) : NULL));
  return TRUE;
}

int main(int argc, char **argv) {
  const char *ext_dir = NULL;
  const char *url = NULL;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--ext-dir") == 0 && i + 1 < argc)
      ext_dir = argv[++i];
    else
      url = argv[i];
  }
  if (!url) {
    fprintf(stderr, "usage: %s [--ext-dir DIR] URL\n", argv[0]);
    return 2;
  }
  gdk_set_allowed_backends("x11");
  gtk_init(&argc, &argv);

  WebKitWebContext *context = webkit_web_context_get_default();
  webkit_web_context_set_sandbox_enabled(context, FALSE);
  if (ext_dir) webkit_web_context_set_web_extensions_directory(context, ext_dir);

  GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 800, 600);
  GtkWidget *view = webkit_web_view_new();
  g_signal_connect(view, "user-message-received", G_CALLBACK(on_user_message), NULL);
  gtk_container_add(GTK_CONTAINER(window), view);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), url);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
