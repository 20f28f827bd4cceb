// LoadingEnd: the "no longer loading" report, after every load end of the page.
#include "browser/loads/loading_end.h"

#include "browser/browser_impl.h"
#include "browser/loads/load_signals.h"
#include "browser/loads/load_state.h"
#include "common/engine_messages.h"
#include "common/guarded.h"
#include "common/process_message_impl.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

struct Question {
  CefRefPtr<BrowserImpl> browser;
  unsigned number;
};

}  // namespace

void LoadingEnd::LoadingChanged(BrowserImpl* browser, bool loading) {
  CEF_REQUIRE_UI_THREAD();
  if (!loading) {
    held_ = true;
    if (main_finished_) AskWebProcess(browser);
    return;
  }
  // CEF pairs the reports: a load that starts before the last one's end was told ends it.
  if (held_) Report(browser, false);
  main_finished_ = false;
  Report(browser, true);
}

void LoadingEnd::MainFinished(BrowserImpl* browser) {
  CEF_REQUIRE_UI_THREAD();
  main_finished_ = true;
  if (held_) AskWebProcess(browser);
}

void LoadingEnd::WebProcessGone(BrowserImpl* browser) {
  if (held_) Report(browser, false);
}

void LoadingEnd::AskWebProcess(BrowserImpl* browser) {
  if (asked_) return;
  WebKitWebView* view = browser->web_view();
  if (!view || browser->is_closed()) {
    Report(browser, false);
    return;
  }
  asked_ = ++questions_;
  CefRefPtr<CefProcessMessage> message = engine_messages::Encode(engine_messages::Settle{});
  WebKitUserMessage* user_message = webkit_user_message_new(
      engine_messages::kSettle,
      FrameMessageToVariant(browser->GetIdentifier(), message->GetArgumentList()));
  webkit_web_view_send_message_to_page(view, user_message, nullptr, OnAnswer,
                                       new Question{browser, asked_});
}

// The answer, or WebKit's error when the web process could not answer: either way the page's
// loads have ended as far as anyone will tell.
void LoadingEnd::OnAnswer(GObject* source, GAsyncResult* result, gpointer data) {
  CEF_REQUIRE_UI_THREAD();
  std::unique_ptr<Question> question(static_cast<Question*>(data));
  WebKitUserMessage* reply =
      webkit_web_view_send_message_to_page_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
  if (reply) g_object_unref(reply);
  LoadingEnd* self = &question->browser->load_state()->loading_end;
  if (self->asked_ != question->number) return;  // A newer load came meanwhile.
  self->asked_ = 0;
  if (self->held_) self->Report(question->browser.get(), false);
}

void LoadingEnd::Report(BrowserImpl* browser, bool loading) {
  if (!loading) {
    held_ = false;
    asked_ = 0;
  }
  WebKitWebView* view = browser->web_view();
  CefRefPtr<CefLoadHandler> handler = LoadHandlerOf(browser);
  if (!handler || !view) return;
  Guarded("OnLoadingStateChange", [&] {
    handler->OnLoadingStateChange(browser, loading, webkit_web_view_can_go_back(view),
                                  webkit_web_view_can_go_forward(view));
  });
}

}  // namespace qvex_engine
