// Tests of the browser side of the message router: handler order, answers, persistence,
// cancellation and malformed messages.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "common/engine_state.h"
#include "common/message_router_wire.h"
#include "fake_browser.h"
#include "include/wrapper/cef_message_router.h"

namespace qvex_engine {
namespace {

namespace wire = router_wire;

class TestHandler : public CefMessageRouterBrowserSide::Handler {
 public:
  explicit TestHandler(bool take) : take_(take) {}
  bool OnQuery(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame, int64_t query_id,
               const CefString& request, bool persistent,
               CefRefPtr<Callback> callback) override {
    ++queries;
    last_id = query_id;
    last_request = request;
    this->callback = callback;
    return take_;
  }
  void OnQueryCanceled(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>, int64_t query_id) override {
    canceled.push_back(query_id);
  }

  int queries = 0;
  int64_t last_id = 0;
  CefString last_request;
  CefRefPtr<Callback> callback;
  std::vector<int64_t> canceled;

 private:
  const bool take_;
};

class BrowserRouterTest : public ::testing::Test {
 protected:
  BrowserRouterTest()
      : browser_(new FakeBrowser(3)),
        router_(CefMessageRouterBrowserSide::Create(CefMessageRouterConfig())) {
    RecordMainThread(TID_UI);
  }

  bool Query(int context_id, int request_id, const CefString& request, bool persistent) {
    return router_->OnProcessMessageReceived(
        browser_.get(), browser_->main(), PID_RENDERER,
        wire::Encode("cefQueryMsg", wire::Query{context_id, request_id, request, persistent}));
  }

  // Every answer the page has received so far, as "request:payload" or "request:code:message".
  std::string Answers() {
    RunPendingTasks();
    std::string out;
    for (auto& m : browser_->main()->sent) {
      wire::Response r;
      EXPECT_EQ(m->GetName().ToString(), "cefQueryMsg");
      if (!wire::Decode(m, &r)) return "MALFORMED";
      out += std::to_string(r.request_id) + ":" +
             (r.success ? "" : std::to_string(r.error_code) + ":") + r.payload.ToString() + " ";
    }
    return out;
  }

  CefRefPtr<FakeBrowser> browser_;
  CefRefPtr<CefMessageRouterBrowserSide> router_;
};

TEST_F(BrowserRouterTest, UnhandledQueriesFailWithMinusOne) {
  EXPECT_TRUE(Query(1, 1, "nobody", false));  // No handler at all.
  TestHandler refuses(false);
  ASSERT_TRUE(router_->AddHandler(&refuses, false));
  EXPECT_FALSE(router_->AddHandler(&refuses, true));  // Added once only.
  EXPECT_TRUE(Query(1, 2, "refused", false));
  EXPECT_EQ(refuses.queries, 1);
  EXPECT_EQ(Answers(), "1:-1:The query has been canceled 2:-1:The query has been canceled ");
  refuses.callback->Success("ignored");  // The callback of an unhandled query is dead.
  EXPECT_EQ(router_->GetPendingCount(nullptr, nullptr), 0);
  EXPECT_EQ(Answers(), "1:-1:The query has been canceled 2:-1:The query has been canceled ");
}

TEST_F(BrowserRouterTest, HandlersAreAskedInOrderAndAnswerFromAnyThread) {
  TestHandler last(true), first(true);
  router_->AddHandler(&last, false);
  router_->AddHandler(&first, true);
  const std::u16string odd(u"q\0\xDC00", 3);
  EXPECT_TRUE(Query(4, 1, odd, true));
  EXPECT_EQ(first.queries, 1);
  EXPECT_EQ(last.queries, 0);
  EXPECT_EQ(first.last_request.ToString16(), odd);
  EXPECT_EQ(router_->GetPendingCount(browser_.get(), &first), 1);
  EXPECT_EQ(router_->GetPendingCount(browser_.get(), &last), 0);

  // A persistent query answers many times, from another thread too, until it fails.
  CefRefPtr<CefMessageRouterBrowserSide::Callback> cb = first.callback;
  std::thread([cb] {
    cb->Success("one");
    cb->Success("two");
    cb->Failure(9, "stop");
    cb->Success("after");
  }).join();
  EXPECT_EQ(Answers(), "1:one 1:two 1:9:stop ");
  EXPECT_EQ(router_->GetPendingCount(nullptr, nullptr), 0);
  EXPECT_TRUE(first.canceled.empty());  // Ended by its own failure, not cancelled.

  // A one-shot query ends with its first success.
  browser_->main()->sent.clear();
  Query(4, 2, "once", false);
  first.callback->Success("a");
  first.callback->Success("b");
  EXPECT_EQ(Answers(), "2:a ");
}

TEST_F(BrowserRouterTest, CancellationPaths) {
  TestHandler handler(true);
  router_->AddHandler(&handler, false);
  Query(5, 1, "a", true);
  const int64_t first_id = handler.last_id;
  Query(5, 2, "b", true);
  Query(6, 3, "c", true);
  EXPECT_EQ(router_->GetPendingCount(browser_.get(), nullptr), 3);

  // The page cancels one request, then a context's document goes (all of its requests).
  router_->OnProcessMessageReceived(browser_.get(), browser_->main(), PID_RENDERER,
                                    wire::Encode("cefQueryCancelMsg", wire::Cancel{5, 1}));
  EXPECT_EQ(handler.canceled, std::vector<int64_t>{first_id});
  router_->OnProcessMessageReceived(browser_.get(), browser_->main(), PID_RENDERER,
                                    wire::Encode("cefQueryCancelMsg", wire::Cancel{5, 0}));
  EXPECT_EQ(handler.canceled.size(), 2u);
  EXPECT_EQ(router_->GetPendingCount(browser_.get(), nullptr), 1);

  // A child frame's navigation keeps the queries; the main frame's ends them quietly.
  CefRefPtr<FakeFrame> child = new FakeFrame(false);
  router_->OnBeforeBrowse(browser_.get(), child.get());
  EXPECT_EQ(router_->GetPendingCount(nullptr, nullptr), 1);
  router_->OnBeforeBrowse(browser_.get(), browser_->main());
  EXPECT_EQ(router_->GetPendingCount(nullptr, nullptr), 0);
  EXPECT_EQ(handler.canceled.size(), 3u);
  EXPECT_EQ(Answers(), "");  // The page hears nothing of any of these.

  // Removing a handler cancels its queries and tells the page.
  Query(7, 4, "d", false);
  EXPECT_TRUE(router_->RemoveHandler(&handler));
  EXPECT_FALSE(router_->RemoveHandler(&handler));
  EXPECT_EQ(Answers(), "4:-1:The query has been canceled ");
  handler.callback->Success("too late");
  EXPECT_EQ(Answers(), "4:-1:The query has been canceled ");
}

TEST_F(BrowserRouterTest, MalformedAndForeignMessages) {
  TestHandler handler(true);
  router_->AddHandler(&handler, false);
  CefRefPtr<CefProcessMessage> bad = CefProcessMessage::Create("cefQueryMsg");
  bad->GetArgumentList()->SetString(0, "not an id");
  EXPECT_FALSE(router_->OnProcessMessageReceived(browser_.get(), browser_->main(),
                                                 PID_RENDERER, bad));
  EXPECT_FALSE(router_->OnProcessMessageReceived(
      browser_.get(), browser_->main(), PID_RENDERER, CefProcessMessage::Create("other")));
  EXPECT_FALSE(router_->OnProcessMessageReceived(browser_.get(), browser_->main(),
                                                 PID_RENDERER, nullptr));
  EXPECT_EQ(handler.queries, 0);
  EXPECT_EQ(Answers(), "");
  // The browser closing ends what is pending without a word to the page.
  Query(1, 1, "x", true);
  router_->OnBeforeClose(browser_.get());
  EXPECT_EQ(handler.canceled.size(), 1u);
  EXPECT_EQ(Answers(), "");
}

}  // namespace
}  // namespace qvex_engine
