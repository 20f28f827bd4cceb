// Test doubles for CefBrowser and CefFrame that record the process messages sent through them,
// and a helper that runs the tasks posted to the current thread.
#ifndef QVEX_TESTS_UNIT_ENGINE_FAKE_BROWSER_H_
#define QVEX_TESTS_UNIT_ENGINE_FAKE_BROWSER_H_

#include <glib.h>

#include <vector>

#include "include/cef_browser.h"
#include "include/cef_frame.h"
#include "include/cef_process_message.h"

namespace qvex_engine {

class FakeFrame : public CefFrame {
 public:
  explicit FakeFrame(bool main) : main_(main) {}
  bool IsValid() override { return true; }
  bool IsMain() override { return main_; }
  bool IsFocused() override { return main_; }
  CefString GetName() override { return CefString(); }
  int64_t GetIdentifier() override { return main_ ? 1 : 2; }
  CefString GetURL() override { return "http://test/"; }
  CefRefPtr<CefFrame> GetParent() override { return nullptr; }
  CefRefPtr<CefBrowser> GetBrowser() override { return nullptr; }
  void LoadURL(const CefString&) override {}
  void ExecuteJavaScript(const CefString&, const CefString&, int) override {}
  void Undo() override {}
  void Redo() override {}
  void Cut() override {}
  void Copy() override {}
  void Paste() override {}
  void SelectAll() override {}
  CefRefPtr<CefV8Context> GetV8Context() override { return nullptr; }
  void SendProcessMessage(CefProcessId target, CefRefPtr<CefProcessMessage> message) override {
    sent.push_back(message);
  }

  std::vector<CefRefPtr<CefProcessMessage>> sent;

 private:
  const bool main_;
  IMPLEMENT_REFCOUNTING(FakeFrame);
};

class FakeBrowser : public CefBrowser {
 public:
  explicit FakeBrowser(int id) : id_(id), main_(new FakeFrame(true)) {}
  CefRefPtr<CefBrowserHost> GetHost() override { return nullptr; }
  bool CanGoBack() override { return false; }
  void GoBack() override {}
  bool CanGoForward() override { return false; }
  void GoForward() override {}
  bool IsLoading() override { return false; }
  void Reload() override {}
  void StopLoad() override {}
  int GetIdentifier() override { return id_; }
  bool IsSame(CefRefPtr<CefBrowser> that) override { return that.get() == this; }
  bool IsPopup() override { return false; }
  CefRefPtr<CefFrame> GetMainFrame() override { return main_.get(); }
  CefRefPtr<CefFrame> GetFocusedFrame() override { return main_.get(); }
  CefRefPtr<CefFrame> GetFrame(int64_t identifier) override {
    return identifier == main_->GetIdentifier() ? main_.get() : nullptr;
  }
  CefRefPtr<CefFrame> GetFrame(const CefString& name) override {
    return name.empty() ? main_.get() : nullptr;
  }
  size_t GetFrameCount() override { return 1; }
  void GetFrameIdentifiers(std::vector<int64_t>& identifiers) override {
    identifiers = {main_->GetIdentifier()};
  }
  void GetFrameNames(std::vector<CefString>& names) override { names = {CefString()}; }

  FakeFrame* main() const { return main_.get(); }

 private:
  const int id_;
  CefRefPtr<FakeFrame> main_;
  IMPLEMENT_REFCOUNTING(FakeBrowser);
};

// Runs every task posted to this thread so far (and those they post).
inline void RunPendingTasks() {
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

}  // namespace qvex_engine

#endif  // QVEX_TESTS_UNIT_ENGINE_FAKE_BROWSER_H_
