// ClipboardOwner: text from a web process on the CLIPBOARD selection. UI thread.
#include "browser/page/clipboard_owner.h"

#include <gtk/gtk.h>

#include <string>

#include "common/clipboard_text.h"
#include "include/base/cef_logging.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

// GTK asks for the text whenever another program pastes: served from the mapped message.
void OnGet(GtkClipboard*, GtkSelectionData* selection, guint, gpointer data) {
  const auto* text = static_cast<const ClipboardText*>(data);
  gtk_selection_data_set_text(selection, text->data(), static_cast<gint>(text->size()));
}

// Another owner took the selection (or ours replaced itself): the text is no longer needed.
void OnClear(GtkClipboard*, gpointer data) { delete static_cast<ClipboardText*>(data); }

}  // namespace

bool ClipboardOwner::TakeMessage(WebKitUserMessage* message) {
  CEF_REQUIRE_UI_THREAD();
  if (g_strcmp0(webkit_user_message_get_name(message), ClipboardText::kMessageName) != 0)
    return false;
  auto* text = new ClipboardText();
  std::string error;
  if (!text->Decode(webkit_user_message_get_parameters(message),
                    webkit_user_message_get_fd_list(message), &error)) {
    LOG(WARNING) << "clipboard: " << error << "; nothing copied";
    delete text;
    return true;
  }
  if (text->size() > G_MAXINT) {
    LOG(WARNING) << "clipboard: text of " << text->size() << " bytes is too long; nothing copied";
    delete text;
    return true;
  }
  GtkTargetList* list = gtk_target_list_new(nullptr, 0);
  gtk_target_list_add_text_targets(list, 0);
  int count = 0;
  GtkTargetEntry* targets = gtk_target_table_new_from_list(list, &count);
  gtk_target_list_unref(list);
  GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
  // On success GTK owns `text` until OnClear.
  if (!gtk_clipboard_set_with_data(clipboard, targets, static_cast<guint>(count), OnGet, OnClear,
                                   text)) {
    LOG(WARNING) << "clipboard: the selection could not be taken; nothing copied";
    delete text;
  }
  gtk_target_table_free(targets, count);
  return true;
}

}  // namespace qvex_engine
