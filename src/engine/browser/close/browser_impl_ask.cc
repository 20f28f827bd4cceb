// BrowserImpl: asking the page before a close. A close that is not forced first runs the page's
// `beforeunload` (WebKit's try-close); a page that wants to stay gets the leave-page question,
// and the close goes on only when the page or the person lets it. UI thread.
#include "browser/browser_impl.h"

#include "browser/open_browsers.h"
#include "browser/close/page_dialogs.h"
#include "include/base/cef_bind.h"
#include "include/base/cef_logging.h"
#include "include/cef_task.h"

namespace qvex_engine {

namespace {

// How long a page's `beforeunload` may take to answer before the close goes on without it (a
// handler that never returns cannot keep the window). Not while the person is being asked.
constexpr guint kAskWatchdogMs = 1500;

}  // namespace

void BrowserImpl::AskPageThenClose() {
  // Developer tools have no page of their own to ask.
  if (!web_view_) {
    StartClose();
    return;
  }
  close_state_ = CloseState::kAsking;
  // An alert or a modal dialog would hold the page, or swallow the close: cancelled first.
  page_dialogs_->DismissForClose();
  ArmAskWatchdog();
  // WebKit runs `beforeunload` and emits "close" when the page lets go (OnPageLetClose);
  // when it wants to stay, "script-dialog" asks the person (PageDialogs).
  webkit_web_view_try_close(web_view_);
}

void BrowserImpl::OnPageLetClose() {
  if (close_state_ != CloseState::kOpen && close_state_ != CloseState::kAsking) return;
  StopAskWatchdog();
  StartClose();
}

void BrowserImpl::OnLeaveQuestionShown() {
  // The window waits for the person, however long.
  if (close_state_ == CloseState::kAsking) StopAskWatchdog();
}

void BrowserImpl::OnLeaveQuestionAnswered(bool leave) {
  if (close_state_ != CloseState::kAsking) return;  // A question about a navigation.
  if (leave) {
    ArmAskWatchdog();  // WebKit lets the page go and emits "close".
  } else {
    close_state_ = CloseState::kOpen;  // Stay: the page and window as they were.
  }
}

void BrowserImpl::ArmAskWatchdog() {
  CefPostDelayedTask(TID_UI, base::Bind(&BrowserImpl::OnAskWatchdog, id_, ++ask_watchdog_),
                     kAskWatchdogMs);
}

void BrowserImpl::StopAskWatchdog() { ++ask_watchdog_; }

void BrowserImpl::OnAskWatchdog(int browser_id, int generation) {
  CefRefPtr<BrowserImpl> self = OpenBrowser(browser_id);
  if (!self || self->ask_watchdog_ != generation) return;
  ++self->ask_watchdog_;
  if (self->close_state_ == CloseState::kAsking) {
    LOG(WARNING) << "the page's beforeunload did not answer within " << kAskWatchdogMs
                 << " ms; closing anyway";
    self->StartClose();
  }
}

}  // namespace qvex_engine
