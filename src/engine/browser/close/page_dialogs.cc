// PageDialogs: the leave-page question and the page's other dialogs at close. UI thread.
#include "browser/close/page_dialogs.h"

#include <memory>
#include <utility>
#include <vector>

#include "include/base/cef_bind.h"
#include "include/cef_task.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

const char kQuestion[] = "Leave this page?";
const char kDetail[] = "Changes you made may not be saved.";

// WebKit draws alert, confirm and prompt inside the view, as a child widget of this type, and
// takes it away only when its button is pressed.
const char kDrawnDialogType[] = "WebKitScriptDialogImpl";

void RemoveDrawnDialogs(WebKitWebView* web_view) {
  std::vector<GtkWidget*> found;
  gtk_container_forall(
      GTK_CONTAINER(web_view),
      [](GtkWidget* child, gpointer data) {
        if (g_strcmp0(G_OBJECT_TYPE_NAME(child), kDrawnDialogType) == 0)
          static_cast<std::vector<GtkWidget*>*>(data)->push_back(child);
      },
      &found);
  for (GtkWidget* child : found) gtk_widget_destroy(child);
}

// Answers a leave-page request without asking anyone. Not from inside "script-dialog": WebKit
// still uses the request once the signal returns, and an answer would end it too soon.
void AnswerLater(WebKitScriptDialog* dialog, bool leave) {
  std::shared_ptr<WebKitScriptDialog> held(webkit_script_dialog_ref(dialog),
                                           webkit_script_dialog_unref);
  CefPostTask(TID_UI, base::Bind(
                          [](const std::shared_ptr<WebKitScriptDialog>& request, bool leave) {
                            webkit_script_dialog_confirm_set_confirmed(request.get(), leave);
                            webkit_script_dialog_close(request.get());
                          },
                          held, leave));
}

GtkWindow* ToplevelOf(WebKitWebView* web_view) {
  GtkWidget* toplevel = gtk_widget_get_toplevel(GTK_WIDGET(web_view));
  return toplevel && gtk_widget_is_toplevel(toplevel) && GTK_IS_WINDOW(toplevel)
             ? GTK_WINDOW(toplevel)
             : nullptr;
}

}  // namespace

PageDialogs::PageDialogs(WebKitWebView* web_view, std::function<void()> on_question_shown,
                         std::function<void(bool leave)> on_question_answered)
    : web_view_(web_view),
      on_question_shown_(std::move(on_question_shown)),
      on_question_answered_(std::move(on_question_answered)) {
  g_signal_connect(web_view_, "script-dialog", G_CALLBACK(OnScriptDialog), this);
  g_signal_connect(web_view_, "button-press-event", G_CALLBACK(OnInput), this);
  g_signal_connect(web_view_, "key-press-event", G_CALLBACK(OnInput), this);
  g_signal_connect(web_view_, "touch-event", G_CALLBACK(OnInput), this);
  g_signal_connect(web_view_, "load-changed", G_CALLBACK(OnLoadChanged), this);
}

PageDialogs::~PageDialogs() {
  g_signal_handlers_disconnect_by_data(web_view_, this);
  on_question_answered_ = nullptr;
  if (question_) FinishQuestion(false);
}

gboolean PageDialogs::OnInput(GtkWidget*, GdkEvent*, PageDialogs* self) {
  CEF_REQUIRE_UI_THREAD();
  self->interacted_ = true;
  return FALSE;  // The page gets the event as usual.
}

void PageDialogs::OnLoadChanged(WebKitWebView*, WebKitLoadEvent load_event, PageDialogs* self) {
  CEF_REQUIRE_UI_THREAD();
  if (load_event == WEBKIT_LOAD_COMMITTED) self->interacted_ = false;  // A new document.
}

gboolean PageDialogs::OnScriptDialog(WebKitWebView* web_view, WebKitScriptDialog* dialog,
                                     PageDialogs* self) {
  CEF_REQUIRE_UI_THREAD();
  if (webkit_script_dialog_get_dialog_type(dialog) != WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM) {
    self->script_dialog_.reset(webkit_script_dialog_ref(dialog));
    return FALSE;  // WebKit shows it.
  }
  // A WebDriver answers the question through WebKit's own dialog; no person is there.
  if (webkit_web_view_is_controlled_by_automation(web_view)) return FALSE;
  if (!self->interacted_) {
    // Nobody has used this page: nothing of the person's can be lost. The page goes.
    AnswerLater(dialog, true);
    return TRUE;
  }
  if (self->question_) {
    // WebKit asks one question at a time; should another come, the open one stands for it.
    AnswerLater(dialog, false);
    return TRUE;
  }
  self->ShowQuestion(dialog);
  return TRUE;
}

void PageDialogs::ShowQuestion(WebKitScriptDialog* dialog) {
  question_request_.reset(webkit_script_dialog_ref(dialog));
  // Modal: the page cannot be used while it asks, and the person answers before anything else.
  question_ = gtk_message_dialog_new(ToplevelOf(web_view_), GTK_DIALOG_MODAL,
                                     GTK_MESSAGE_QUESTION, GTK_BUTTONS_NONE, "%s", kQuestion);
  gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(question_), "%s", kDetail);
  gtk_dialog_add_buttons(GTK_DIALOG(question_), "_Stay on Page", GTK_RESPONSE_CANCEL,
                         "_Leave Page", GTK_RESPONSE_ACCEPT, nullptr);
  // Enter leaves (the person asked to close), Escape stays.
  gtk_dialog_set_default_response(GTK_DIALOG(question_), GTK_RESPONSE_ACCEPT);
  gtk_window_set_title(GTK_WINDOW(question_), kQuestion);
  g_signal_connect(question_, "response", G_CALLBACK(OnQuestionResponse), this);
  gtk_widget_show(question_);
  if (on_question_shown_) on_question_shown_();
}

void PageDialogs::OnQuestionResponse(GtkDialog*, gint response, PageDialogs* self) {
  CEF_REQUIRE_UI_THREAD();
  // Any answer but "leave" (Escape, closing the question's own window) keeps the page.
  self->FinishQuestion(response == GTK_RESPONSE_ACCEPT);
}

void PageDialogs::PresentQuestion() {
  if (question_) gtk_window_present(GTK_WINDOW(question_));
}

void PageDialogs::FinishQuestion(bool leave) {
  if (!question_) return;
  GtkWidget* widget = std::exchange(question_, nullptr);
  g_signal_handlers_disconnect_by_data(widget, this);
  gtk_widget_destroy(widget);
  ScriptDialogRef request = std::move(question_request_);
  // WebKit lets the page go (and then emits "close" for a close) only when confirmed.
  webkit_script_dialog_confirm_set_confirmed(request.get(), leave);
  webkit_script_dialog_close(request.get());
  if (on_question_answered_) on_question_answered_(leave);
}

void PageDialogs::DismissScriptDialog() {
  ScriptDialogRef dialog = std::move(script_dialog_);
  if (!dialog) return;
  // Answered as its Cancel button would (nothing happens when the person already has): the
  // page's script, which waits for the answer, goes on.
  if (webkit_script_dialog_get_dialog_type(dialog.get()) == WEBKIT_SCRIPT_DIALOG_CONFIRM)
    webkit_script_dialog_confirm_set_confirmed(dialog.get(), FALSE);
  webkit_script_dialog_close(dialog.get());
  RemoveDrawnDialogs(web_view_);
}

void PageDialogs::DismissForClose() {
  DismissScriptDialog();
  // Modal GTK dialogs over the page's window (WebKit's file chooser, GTK's print dialog) hold
  // GTK's grab, and the page may wait for them: cancelled, as their Cancel button would.
  GtkWindow* toplevel = ToplevelOf(web_view_);
  if (!toplevel) return;
  GList* windows = gtk_window_list_toplevels();
  for (GList* item = windows; item; item = item->next) g_object_ref(item->data);
  for (GList* item = windows; item; item = item->next) {
    GtkWindow* window = GTK_WINDOW(item->data);
    if (GTK_WIDGET(window) == question_ || !GTK_IS_DIALOG(window) ||
        gtk_window_get_transient_for(window) != toplevel ||
        !gtk_widget_get_visible(GTK_WIDGET(window)))
      continue;
    gtk_dialog_response(GTK_DIALOG(window), GTK_RESPONSE_CANCEL);
  }
  g_list_free_full(windows, g_object_unref);
}

void PageDialogs::DismissAll() {
  DismissForClose();
  FinishQuestion(true);
}

}  // namespace qvex_engine
