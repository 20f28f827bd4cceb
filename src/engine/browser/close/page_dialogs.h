// PageDialogs: the dialogs a page has open over its browser — the leave-page question asked
// for a `beforeunload` handler, WebKit's alert, confirm and prompt, and modal GTK dialogs such
// as the file chooser and the print dialog — and what a close does to them. UI thread; the
// callbacks run from GTK signal handlers on it.
#ifndef QVEX_ENGINE_BROWSER_CLOSE_PAGE_DIALOGS_H_
#define QVEX_ENGINE_BROWSER_CLOSE_PAGE_DIALOGS_H_

#include <webkit2/webkit2.h>

#include <functional>
#include <memory>

namespace qvex_engine {

class PageDialogs {
 public:
  // `on_question_shown` runs when the leave-page question appears, `on_question_answered`
  // with true when the person chose to leave, false to stay. Both may be empty.
  PageDialogs(WebKitWebView* web_view, std::function<void()> on_question_shown,
              std::function<void(bool leave)> on_question_answered);
  // Disconnects from the view; an open question goes with it (its answer: stay).
  ~PageDialogs();
  PageDialogs(const PageDialogs&) = delete;
  PageDialogs& operator=(const PageDialogs&) = delete;

  bool question_shown() const { return question_ != nullptr; }
  // Brings an open question to the front.
  void PresentQuestion();
  // A close is going on: every dialog but the leave-page question is dismissed as cancelled
  // (the page's script waits for them, and a modal one would swallow the close).
  void DismissForClose();
  // A forced close: the question too is answered, with "leave".
  void DismissAll();

 private:
  static gboolean OnInput(GtkWidget* widget, GdkEvent* event, PageDialogs* self);
  static void OnLoadChanged(WebKitWebView* web_view, WebKitLoadEvent load_event,
                            PageDialogs* self);
  static gboolean OnScriptDialog(WebKitWebView* web_view, WebKitScriptDialog* dialog,
                                 PageDialogs* self);
  static void OnQuestionResponse(GtkDialog* widget, gint response, PageDialogs* self);
  void ShowQuestion(WebKitScriptDialog* dialog);
  void FinishQuestion(bool leave);
  void DismissScriptDialog();

  struct ScriptDialogUnref {
    void operator()(WebKitScriptDialog* dialog) const { webkit_script_dialog_unref(dialog); }
  };
  using ScriptDialogRef = std::unique_ptr<WebKitScriptDialog, ScriptDialogUnref>;

  WebKitWebView* web_view_;
  // Whether the person has clicked or typed in the current document: a page may ask to stay
  // only then, as engines require (WebKit itself would ask for any page at a close).
  bool interacted_ = false;
  std::function<void()> on_question_shown_;
  std::function<void(bool)> on_question_answered_;
  // The leave-page question: the GTK dialog and the page's request it answers.
  GtkWidget* question_ = nullptr;
  ScriptDialogRef question_request_;
  // The latest alert, confirm or prompt, which WebKit shows itself; held so that a close can
  // answer it (a no-op once the person has).
  ScriptDialogRef script_dialog_;
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_CLOSE_PAGE_DIALOGS_H_
