// A variant of the shell for end-to-end tests: the events object reports the hooks it sees on
// standard output (one "HOOK ..." line each) and can be told, through the environment, to
// answer queries or to provoke an X protocol error. Hooks run on the UI thread.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/browser_events.h"
#include "app/qvexdesk_linux.h"
#include "include/cef_app.h"

// After the other headers: Xlib's macros (Bool, Success) clash with their names.
#include <X11/Xlib.h>
#undef Success

namespace {

void Report(const std::string& line) {
  std::printf("HOOK %s\n", line.c_str());
  std::fflush(stdout);
}

bool EnvSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value && std::string(value) != "0";
}

bool EnvIs(const char* name, const char* expected) {
  const char* value = std::getenv(name);
  return value && std::string(value) == expected;
}

class TestEvents : public BrowserEvents {
 public:
  void onInit() override {
    Report("onInit");
    BrowserEvents::onInit();
    if (const char* cache_path = std::getenv("QVEX_TEST_CACHE_PATH")) settings.cache_path = cache_path;
    // The variant of a project that wants every certificate checked, loopback included.
    if (EnvIs("QVEX_TEST_IGNORE_CERTIFICATE_ERRORS", "0"))
      settings.ignore_certificate_errors = 0;
  }
  void onAfterBrowserInit(const CefRefPtr<CefBrowser>& browser) override {
    Report("onAfterBrowserInit url=" + BrowserEvents::url + " popup=" +
           (browser->IsPopup() ? "1" : "0"));
    if (EnvSet("QVEX_TEST_XERROR") && !x_error_sent_) {
      x_error_sent_ = true;
      // A request on a window that does not exist: BadWindow (error_code 3).
      Display* display = reinterpret_cast<Display*>(cef_get_xdisplay());
      XMapWindow(display, 0x1fffffe);
      XSync(display, False);
      Report("xerror-sent");
    }
  }
  void onBeforeBrowserClose(const CefRefPtr<CefBrowser>& browser) override {
    Report("onBeforeBrowserClose");
  }
  void onPageInit(const CefRefPtr<CefBrowser>& browser, bool back, bool forward) override {
    Report(std::string("onPageInit back=") + (back ? "1" : "0") + " forward=" +
           (forward ? "1" : "0"));
  }
  void onLoadStart(const CefRefPtr<CefBrowser>& browser, const CefRefPtr<CefFrame>& frame,
                   cef_transition_type_t transition_type) override {
    Report("onLoadStart main=" + std::string(frame->IsMain() ? "1" : "0") +
           " url=" + frame->GetURL().ToString());
    BrowserEvents::onLoadStart(browser, frame, transition_type);
  }
  void onLoadEnd(const CefRefPtr<CefBrowser>& browser, const CefRefPtr<CefFrame>& frame,
                 int status) override {
    Report("onLoadEnd status=" + std::to_string(status) + " url=" + frame->GetURL().ToString());
  }
  void onPageEnd(const CefRefPtr<CefBrowser>& browser, bool back, bool forward) override {
    Report(std::string("onPageEnd back=") + (back ? "1" : "0") + " forward=" +
           (forward ? "1" : "0"));
  }
  bool OnQuery(const CefRefPtr<CefBrowser>& browser, const CefRefPtr<CefFrame>& frame,
               int64_t query_id, const CefString& request, bool persistent,
               const CefRefPtr<CefMessageRouterBrowserSide::Callback>& callback) override {
    if (!quiet_queries_)
      Report("OnQuery id=" + std::to_string(query_id) + " persistent=" +
             (persistent ? "1" : "0") + " request=" + request.ToString());
    if (query_commands_ && RunCommand(browser, frame, request.ToString(), callback)) return true;
    if (answer_queries_) {
      callback->Success("answer:" + request.ToString());
      return true;
    }
    if (refuse_queries_) return false;
    return BrowserEvents::OnQuery(browser, frame, query_id, request, persistent, callback);
  }

 private:
  // Requests "variant:<command>[:<argument>]" act on the browser or the asking frame, as an
  // application would: "reload", "loadurl:URL", "exec:CODE" (run in the asking frame), "frame"
  // (answers with what the frame object says of itself), "frames" (the browser's frames) and
  // "answer-kept" (answers every query sent as "keep:..." so far). Queries "keep:..." are kept
  // unanswered until then.
  bool RunCommand(const CefRefPtr<CefBrowser>& browser, const CefRefPtr<CefFrame>& frame,
                  const std::string& request,
                  const CefRefPtr<CefMessageRouterBrowserSide::Callback>& callback) {
    if (request.compare(0, 5, "keep:") == 0) {
      kept_.push_back({request, frame, callback});
      return true;
    }
    const std::string prefix = "variant:";
    if (request.compare(0, prefix.size(), prefix) != 0) return false;
    std::string command = request.substr(prefix.size()), argument;
    size_t colon = command.find(':');
    if (colon != std::string::npos) {
      argument = command.substr(colon + 1);
      command.resize(colon);
    }
    if (command == "reload") {
      browser->Reload();
    } else if (command == "loadurl") {
      frame->LoadURL(argument);
    } else if (command == "exec") {
      frame->ExecuteJavaScript(argument, frame->GetURL(), 0);
    } else if (command == "answer-kept") {
      for (const Kept& k : kept_)
        k.callback->Success(k.request + " valid=" + (k.frame->IsValid() ? "1" : "0"));
      kept_.clear();
    } else if (command == "frames") {
      std::vector<CefString> names;
      browser->GetFrameNames(names);
      std::string list;
      for (const CefString& name : names) list += "[" + name.ToString() + "]";
      callback->Success("count=" + std::to_string(browser->GetFrameCount()) + " names=" + list);
      return true;
    } else if (command == "frame") {
      CefRefPtr<CefFrame> parent = frame->GetParent();
      callback->Success("main=" + std::string(frame->IsMain() ? "1" : "0") +
                        " valid=" + (frame->IsValid() ? "1" : "0") +
                        " id=" + std::to_string(frame->GetIdentifier()) +
                        " parent=" + (parent ? std::to_string(parent->GetIdentifier()) : "none") +
                        " name=" + frame->GetName().ToString() +
                        " url=" + frame->GetURL().ToString() +
                        " count=" + std::to_string(browser->GetFrameCount()));
      return true;
    } else {
      return false;
    }
    callback->Success("done");
    return true;
  }

  struct Kept {
    std::string request;
    CefRefPtr<CefFrame> frame;
    CefRefPtr<CefMessageRouterBrowserSide::Callback> callback;
  };
  std::vector<Kept> kept_;
  bool x_error_sent_ = false;
  const bool query_commands_ = EnvSet("QVEX_TEST_QUERY_COMMANDS");
  // Read once: the benchmarks time OnQuery. "quiet" answers without a report line, so they time
  // the router rather than this file's writes.
  const bool answer_queries_ = EnvSet("QVEX_TEST_ANSWER_QUERIES");
  const bool quiet_queries_ = EnvIs("QVEX_TEST_ANSWER_QUERIES", "quiet");
  const bool refuse_queries_ = EnvSet("QVEX_TEST_REFUSE_QUERIES");
};

TestEvents test_events;

}  // namespace

BrowserEvents& be = test_events;

int main(int argc, char** argv) { return corvane::createBrowser(be, argc, argv); }
