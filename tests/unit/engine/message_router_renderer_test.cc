// Tests of the renderer side of the message router: the page functions, the messages they
// send, the delivery of answers and cancellation when a context goes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/message_router_wire.h"
#include "fake_browser.h"
#include "include/wrapper/cef_message_router.h"
#include "js_test_context.h"

namespace qvex_engine {
namespace {

namespace wire = router_wire;

class RendererRouterTest : public ::testing::Test {
 protected:
  RendererRouterTest()
      : browser_(new FakeBrowser(7)),
        js_(browser_.get(), browser_->main()),
        router_(CefMessageRouterRendererSide::Create(CefMessageRouterConfig())) {
    router_->OnContextCreated(browser_.get(), browser_->main(), js_.get());
    js_.Run("var got = []; function ok(r) { got.push(r); }"
            " function bad(c, m) { got.push(c + ':' + m); }");
  }

  // The last message the page sent, decoded.
  template <typename T>
  T Sent(const char* name) {
    T out;
    EXPECT_FALSE(browser_->main()->sent.empty());
    CefRefPtr<CefProcessMessage> m = browser_->main()->sent.back();
    EXPECT_EQ(m->GetName().ToString(), name);
    EXPECT_TRUE(wire::Decode(m, &out));
    return out;
  }

  bool Answer(const wire::Response& response) {
    bool handled = router_->OnProcessMessageReceived(
        browser_.get(), browser_->main(), PID_BROWSER, wire::Encode("cefQueryMsg", response));
    RunPendingTasks();
    return handled;
  }

  CefRefPtr<FakeBrowser> browser_;
  JsTestContext js_;
  CefRefPtr<CefMessageRouterRendererSide> router_;
};

TEST_F(RendererRouterTest, QueryAnswersAndPersistence) {
  EXPECT_EQ(js_.RunString("Object.keys(this).indexOf('cefQuery') < 0 && typeof cefQuery"),
            "function");
  int id = js_.Run("cefQuery({request: 'r\\u0000\\ud800', persistent: true,"
                   " onSuccess: ok, onFailure: bad})")->GetIntValue();
  EXPECT_GT(id, 0);
  wire::Query q = Sent<wire::Query>("cefQueryMsg");
  EXPECT_EQ(q.context_id, js_.get()->id());
  EXPECT_EQ(q.request_id, id);
  EXPECT_EQ(q.request.ToString16(), std::u16string(u"r\0\xD800", 3));
  EXPECT_TRUE(q.persistent);
  EXPECT_EQ(router_->GetPendingCount(browser_.get(), js_.get()), 1);

  // Answers arrive as posted tasks: none runs inside the message handling.
  EXPECT_TRUE(router_->OnProcessMessageReceived(
      browser_.get(), browser_->main(), PID_BROWSER,
      wire::Encode("cefQueryMsg", wire::Response{q.context_id, id, true, 0, "a"})));
  EXPECT_EQ(js_.RunString("got.join()"), "");
  RunPendingTasks();
  EXPECT_TRUE(Answer({q.context_id, id, true, 0, "b"}));
  EXPECT_TRUE(Answer({q.context_id, id, false, 5, "end"}));
  EXPECT_TRUE(Answer({q.context_id, id, true, 0, "late"}));  // After the end: dropped.
  EXPECT_EQ(js_.RunString("got.join()"), "a,b,5:end");
  EXPECT_EQ(router_->GetPendingCount(nullptr, nullptr), 0);

  // A one-shot query ends with its first success; answers for unknown ids do nothing.
  id = js_.Run("cefQuery({request: 'x', onSuccess: ok})")->GetIntValue();
  EXPECT_TRUE(Answer({q.context_id, id, true, 0, "once"}));
  EXPECT_TRUE(Answer({q.context_id, id, true, 0, "twice"}));
  EXPECT_TRUE(Answer({q.context_id + 1, id, true, 0, "other context"}));
  EXPECT_EQ(js_.RunString("got.join()"), "a,b,5:end,once");
  // A malformed answer and a foreign message are not the router's.
  CefRefPtr<CefProcessMessage> bad = CefProcessMessage::Create("cefQueryMsg");
  EXPECT_FALSE(router_->OnProcessMessageReceived(browser_.get(), browser_->main(),
                                                 PID_BROWSER, bad));
  EXPECT_FALSE(router_->OnProcessMessageReceived(browser_.get(), browser_->main(),
                                                 PID_BROWSER, CefProcessMessage::Create("x")));
}

TEST_F(RendererRouterTest, InvalidArgumentsThrowLikeCef) {
  struct Case {
    const char* call;
    const char* message;
  };
  const Case kCases[] = {
      {"cefQuery()", "Invalid arguments; expecting a single object"},
      {"cefQuery('r')", "Invalid arguments; expecting a single object"},
      {"cefQuery({}, {})", "Invalid arguments; expecting a single object"},
      {"cefQuery({request: 5})",
       "Invalid arguments; object member 'request' is required and must have type string"},
      {"cefQuery({request: 'r', onSuccess: 'no'})",
       "Invalid arguments; object member 'onSuccess' must have type function"},
      {"cefQuery({request: 'r', onFailure: null})",
       "Invalid arguments; object member 'onFailure' must have type function"},
      {"cefQuery({request: 'r', onFailure: undefined})",  // There, though undefined.
       "Invalid arguments; object member 'onFailure' must have type function"},
      {"cefQuery({request: 'r', persistent: 1})",
       "Invalid arguments; object member 'persistent' must have type boolean"},
      {"cefQueryCancel()", "Invalid arguments; expecting a single integer"},
      {"cefQueryCancel(1.5)", "Invalid arguments; expecting a single integer"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(js_.RunString(std::string("try { ") + c.call + "; 'none' } catch (e) { e.message }"),
              c.message)
        << c.call;
  }
  EXPECT_TRUE(browser_->main()->sent.empty());  // Nothing was sent for any of them.
}

TEST_F(RendererRouterTest, CancelAndContextRelease) {
  int id = js_.Run("cefQuery({request: 'a', onSuccess: ok, onFailure: bad})")->GetIntValue();
  EXPECT_TRUE(js_.Run("cefQueryCancel(" + std::to_string(id) + ")")->GetBoolValue());
  wire::Cancel c = Sent<wire::Cancel>("cefQueryCancelMsg");
  EXPECT_EQ(c.request_id, id);
  EXPECT_FALSE(js_.Run("cefQueryCancel(" + std::to_string(id) + ")")->GetBoolValue());
  EXPECT_FALSE(js_.Run("cefQueryCancel(0)")->GetBoolValue());
  EXPECT_TRUE(Answer({js_.get()->id(), id, true, 0, "too late"}));
  EXPECT_EQ(js_.RunString("got.join()"), "");

  // The context goes: its queries end without callbacks, and the UI side hears of it.
  id = js_.Run("cefQuery({request: 'b', onSuccess: ok, onFailure: bad})")->GetIntValue();
  js_.Run("cefQuery({request: 'c', persistent: true, onSuccess: ok})");
  EXPECT_EQ(router_->GetPendingCount(browser_.get(), nullptr), 2);
  router_->OnContextReleased(browser_.get(), browser_->main(), js_.get());
  js_.get()->MarkReleased();
  c = Sent<wire::Cancel>("cefQueryCancelMsg");
  EXPECT_EQ(c.context_id, js_.get()->id());
  EXPECT_EQ(c.request_id, wire::kAllRequests);
  EXPECT_EQ(router_->GetPendingCount(nullptr, nullptr), 0);
  EXPECT_TRUE(Answer({js_.get()->id(), id, false, -1, "gone"}));
  EXPECT_EQ(js_.RunString("got.join()"), "");
}

TEST_F(RendererRouterTest, PageFunctionsHoldAgainstThePage) {
  EXPECT_EQ(js_.RunString("cefQuery.name + cefQuery.length + cefQueryCancel.name"),
            "cefQuery1cefQueryCancel");
  // What the page replaces after the functions were made changes neither checks nor answers.
  js_.Run("Error = function () { return {message: 'fake'}; }; Reflect.apply = null;"
          " Function.prototype.call = function () { got.push('hijacked'); };"
          " Object.defineProperty = null;");
  EXPECT_EQ(js_.RunString("try { cefQuery(1); 'none' } catch (e) { e.message }"),
            "Invalid arguments; expecting a single object");
  // A strict callback still gets the global object as `this`; one that throws still ends its
  // one-shot request, while a persistent request keeps its place.
  js_.Run("function strict(r) { 'use strict'; got.push(this === globalThis ? 'global' : 'other'); }"
          " function boom(r) { got.push('boom ' + r); throw new TypeError('page bug'); }");
  const int one = js_.Run("cefQuery({request: 'a', onSuccess: strict})")->GetIntValue();
  const int throws = js_.Run("cefQuery({request: 'b', onSuccess: boom})")->GetIntValue();
  const int kept =
      js_.Run("cefQuery({request: 'c', persistent: true, onSuccess: boom})")->GetIntValue();
  const int context_id = js_.get()->id();
  for (int id : {one, throws, kept, throws, kept})
    EXPECT_TRUE(Answer({context_id, id, true, 0, std::to_string(id)}));
  EXPECT_EQ(js_.RunString("got.join()"), "global,boom " + std::to_string(throws) + ",boom " +
                                             std::to_string(kept) + ",boom " +
                                             std::to_string(kept));
  EXPECT_EQ(router_->GetPendingCount(nullptr, nullptr), 1);

  // A page cannot pass its own answers off as the engine's.
  js_.Run("got = []");
  for (const char* forged : {"0", "1", "-1", "NaN", "Infinity"}) {
    EXPECT_EQ(js_.RunString(std::string("try { cefQuery(") + forged + ", " +
                            std::to_string(kept) + ", true, 0, 'forged'); 'none' }"
                            " catch (e) { e.message }"),
              "Invalid arguments; expecting a single object");
  }
  EXPECT_EQ(js_.RunString("got.join()"), "");
}

TEST_F(RendererRouterTest, ASecondDocumentOnTheSameGlobalKeepsTheFunctions) {
  // A pop-up's first real document reuses the global object of its initial empty one.
  CefRefPtr<V8ContextImpl> second = new V8ContextImpl(js_.js(), browser_.get(), browser_->main());
  router_->OnContextCreated(browser_.get(), browser_->main(), second.get());
  const int id = js_.Run("cefQuery({request: 'again', onSuccess: ok})")->GetIntValue();
  EXPECT_EQ(Sent<wire::Query>("cefQueryMsg").context_id, second->id());
  EXPECT_TRUE(Answer({second->id(), id, true, 0, "reached"}));
  EXPECT_EQ(js_.RunString("got.join()"), "reached");
}

// Text crosses both ways unit for unit, however each side holds it (UTF-8 from the wire, a
// JavaScriptCore string at a byte or two a character): other scripts, a pair, NUL, lone
// surrogates, short texts and ones past the conversion's small buffer.
TEST_F(RendererRouterTest, TextCrossesUnitForUnit) {
  const std::u16string kTexts[] = {
      u"ping",
      u"\u00e9\u4e2d\U0001F600",
      std::u16string(u"a\0b", 3),
      std::u16string(u"x\xD800", 2),
      std::u16string(u"\xDC00\xD800", 2),
      std::u16string(300, u'a'),
      std::u16string(300, u'\u00e9') + std::u16string(1, 0xDBFF),
  };
  js_.Run("function codes(s) { var c = [];"
          " for (var i = 0; i < s.length; i++) c.push(s.charCodeAt(i)); return c.join(); }");
  for (const std::u16string& text : kTexts) {
    std::string literal = "'", codes;
    for (char16_t unit : text) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(unit));
      literal += escaped;
      codes += (codes.empty() ? "" : ",") + std::to_string(unit);
    }
    literal += "'";
    int id = js_.Run("cefQuery({request: " + literal + ", onSuccess: function (r) {"
                     " got = codes(r); }})")->GetIntValue();
    wire::Query q = Sent<wire::Query>("cefQueryMsg");
    EXPECT_EQ(q.request.ToString16(), text) << codes;
    // The answer goes through the wire's bytes, as the browser sends it.
    EXPECT_TRUE(Answer({q.context_id, id, true, 0, CefString(q.request.ToString())}));
    EXPECT_EQ(js_.RunString("got"), codes);
  }
}

}  // namespace
}  // namespace qvex_engine
