// Tests of script contexts: the current context inside native calls, entering, evaluation.
#include "renderer/v8_context_impl.h"

#include <gtest/gtest.h>

#include "js_test_context.h"

namespace qvex_engine {
namespace {

TEST(V8ContextImplTest, NativeCallRunsInTheFunctionsOwnContext) {
  JsTestContext a;
  JsTestContext b;
  CefRefPtr<RecordingHandler> handler = new RecordingHandler();
  CefRefPtr<CefV8Value> who = V8ValueImpl::CreateFunction(a.get(), "who", handler);
  ASSERT_NE(who, nullptr);
  ASSERT_TRUE(b.get()->GetGlobal()->SetValue("fromA", who, V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_FALSE(CefV8Context::InContext());

  // Called from b's script, the function still belongs to a.
  b.Run("fromA(1, 'x')");
  ASSERT_EQ(handler->calls, 1);
  EXPECT_TRUE(handler->current->IsSame(a.get()));
  EXPECT_FALSE(handler->current->IsSame(b.get()));
  EXPECT_EQ(handler->last_name.ToString(), "who");
  EXPECT_EQ(handler->last_arguments.size(), 2u);
  EXPECT_FALSE(CefV8Context::InContext());  // Nothing stays current after the call.

  // The receiver arrives as `this`.
  CefRefPtr<CefV8Value> receiver = b.Run("globalThis.r = {}; r.f = fromA; r.f(); r");
  EXPECT_TRUE(handler->last_this->IsSame(receiver));
  // Kept values stay usable after the call (they were protected when kept).
  b.Run("fromA({ keep: 'me' }, { drop: 'me' })");
  CefRefPtr<CefV8Value> kept = handler->last_arguments[0];
  handler->last_arguments.clear();
  handler->last_this = nullptr;
  b.Run("for (let i = 0; i < 10000; i++) ({ garbage: [i] }); 0");
  b.CollectGarbage();
  b.Run("for (let i = 0; i < 10000; i++) ({ keep: 'garbage' + i }); 0");
  EXPECT_EQ(kept->GetValue("keep")->GetStringValue().ToString(), "me");

  // A function whose context is released answers nothing.
  a.get()->MarkReleased();
  b.Run("fromA()");
  EXPECT_EQ(handler->calls, 3);
}

TEST(V8ContextImplTest, HandlerResultsAndExceptionsReachScript) {
  JsTestContext js;
  CefRefPtr<RecordingHandler> handler = new RecordingHandler();
  js.get()->GetGlobal()->SetValue("f", V8ValueImpl::CreateFunction(js.get(), "f", handler),
                                  V8_PROPERTY_ATTRIBUTE_NONE);
  handler->result = CefV8Value::CreateString(std::u16string(u"r\0\xD800", 3));
  EXPECT_EQ(js.Run("f().length")->GetIntValue(), 3);
  handler->throw_text = "bad input";
  EXPECT_EQ(js.RunString("try { f(); 'none' } catch (e) { e instanceof Error && e.message }"),
            "bad input");
  handler->handled = false;  // Not handled: undefined and no exception, whatever was set.
  EXPECT_TRUE(js.Run("f()")->IsUndefined());
  // Call, apply and bind work on native functions as on any function.
  handler->handled = true;
  handler->throw_text.clear();
  handler->result = CefV8Value::CreateInt(4);
  EXPECT_EQ(js.Run("f.call(null) + f.apply(null, []) + f.bind(null)()")->GetIntValue(), 12);
}

TEST(V8ContextImplTest, EnterExitAndEval) {
  JsTestContext a;
  JsTestContext b;
  EXPECT_EQ(CefV8Context::GetCurrentContext(), nullptr);
  ASSERT_TRUE(a.get()->Enter());
  EXPECT_TRUE(CefV8Context::GetCurrentContext()->IsSame(a.get()));
  ASSERT_TRUE(b.get()->Enter());
  EXPECT_TRUE(CefV8Context::GetEnteredContext()->IsSame(b.get()));
  EXPECT_FALSE(a.get()->Exit());  // Not the innermost.
  EXPECT_TRUE(b.get()->Exit());
  EXPECT_TRUE(a.get()->Exit());
  EXPECT_FALSE(CefV8Context::InContext());

  CefRefPtr<CefV8Value> result;
  CefString exception;
  EXPECT_TRUE(a.get()->Eval("6 * 7", "t.js", 1, result, exception));
  EXPECT_EQ(result->GetIntValue(), 42);
  EXPECT_FALSE(a.get()->Eval("\n\nnope()", "t.js", 10, result, exception));
  EXPECT_EQ(result, nullptr);
  EXPECT_NE(exception.ToString().find("ReferenceError"), std::string::npos);
  EXPECT_NE(exception.ToString().find("t.js:12"), std::string::npos);  // Start line kept.
  EXPECT_TRUE(a.get()->Eval("1", "", 0, result, exception));  // The context still works.
  a.get()->MarkReleased();
  EXPECT_FALSE(a.get()->Eval("1", "", 0, result, exception));
}

}  // namespace
}  // namespace qvex_engine
