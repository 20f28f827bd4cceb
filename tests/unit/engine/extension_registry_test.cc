// Tests of extension registration and installation into contexts.
#include "renderer/extension_registry.h"

#include <gtest/gtest.h>

#include "js_test_context.h"

namespace qvex_engine {
namespace {

// The registry lives for the process, so each test registers names of its own.
TEST(ExtensionRegistryTest, DeclaredNativesReachTheHandler) {
  JsTestContext js;
  CefRefPtr<RecordingHandler> handler = new RecordingHandler();
  handler->result = CefV8Value::CreateString("ok");
  ASSERT_TRUE(CefRegisterExtension(
      "test/a",
      "var api = {};\n"
      "(function () { api.first = first; native function first(a, b); })();\n"
      "native function second();\n",
      handler));
  EXPECT_FALSE(CefRegisterExtension("test/a", "", handler));            // Name taken.
  EXPECT_FALSE(CefRegisterExtension("", "", handler));                  // No name.
  EXPECT_FALSE(CefRegisterExtension("test/b", "native function x();", nullptr));  // No handler.
  EXPECT_TRUE(CefRegisterExtension("test/c", "var plain = 1;", nullptr));  // Needs none.

  ExtensionRegistry::Get()->InstallInto(js.get());
  EXPECT_EQ(js.Run("plain")->GetIntValue(), 1);
  EXPECT_EQ(js.RunString("api.first(1, 'two', undefined)"), "ok");  // Hoisted: used before.
  ASSERT_EQ(handler->calls, 1);
  EXPECT_EQ(handler->last_name.ToString(), "first");
  ASSERT_EQ(handler->last_arguments.size(), 3u);
  EXPECT_EQ(handler->last_arguments[1]->GetStringValue().ToString(), "two");
  EXPECT_TRUE(handler->last_arguments[2]->IsUndefined());
  EXPECT_TRUE(handler->last_this->IsSame(js.Run("api")));
  EXPECT_EQ(js.Run("api.first.length")->GetIntValue(), 2);
  js.Run("second()");
  EXPECT_EQ(handler->last_name.ToString(), "second");
  EXPECT_TRUE(handler->current->IsSame(js.get()));

  // Installing again on the same global object (a pop-up's second document) is harmless.
  ExtensionRegistry::Get()->InstallInto(js.get());
  EXPECT_EQ(js.RunString("api.first()"), "ok");
}

TEST(ExtensionRegistryTest, HiddenNativeAnswersOnlyRegisteredNatives) {
  JsTestContext js;
  CefRefPtr<RecordingHandler> handler = new RecordingHandler();
  ASSERT_TRUE(CefRegisterExtension("test/hidden", "native function only();", handler));
  ExtensionRegistry::Get()->InstallInto(js.get());
  const std::string call = std::string(ExtensionRegistry::kForwardingName);
  EXPECT_EQ(js.Run("Object.keys(this).indexOf('" + call + "')")->GetIntValue(), -1);
  // Forged calls: out-of-range, fractional and non-number indexes, and a non-list.
  const char* const kForged[] = {"(1e9, this, [])", "(0.5, this, [])", "(-1, this, [])",
                                 "('0', this, [])", "(NaN, this, [])", "(0, this)",
                                 "(0, this, 5)"};
  for (const char* args : kForged) js.Run(call + args);
  EXPECT_EQ(handler->calls, 0);
  // The hidden function cannot be replaced or removed by the page.
  js.Run(call + " = null; delete this." + call);
  js.Run("only()");
  EXPECT_EQ(handler->calls, 1);
  EXPECT_EQ(handler->last_name.ToString(), "only");
}

TEST(ExtensionRegistryTest, ScriptErrorsDoNotStopOtherExtensions) {
  JsTestContext js;
  ASSERT_TRUE(CefRegisterExtension("test/broken", "this.beforeError = 1; throw 1;", nullptr));
  ASSERT_TRUE(CefRegisterExtension("test/after", "this.afterError = 2;", nullptr));
  ExtensionRegistry::Get()->InstallInto(js.get());
  EXPECT_EQ(js.Run("beforeError + afterError")->GetIntValue(), 3);
  // A released context gets nothing.
  JsTestContext dead;
  dead.get()->MarkReleased();
  ExtensionRegistry::Get()->InstallInto(dead.get());
  EXPECT_EQ(dead.RunString("typeof afterError"), "undefined");
}

}  // namespace
}  // namespace qvex_engine
