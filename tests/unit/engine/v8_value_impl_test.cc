// Tests of script values over JavaScriptCore: types, string fidelity, properties and calls.
#include "renderer/v8_value_impl.h"

#include <gtest/gtest.h>

#include <string>

#include "js_test_context.h"

namespace qvex_engine {
namespace {

std::string Codes(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) out += std::to_string(static_cast<int>(c)) + ",";
  return out;
}

TEST(V8ValueImplTest, StringsCrossTheBoundaryUnitForUnit) {
  JsTestContext js;
  const std::u16string odd(u"a\0b\xD800" u"c\xDC00\U0001F600", 8);
  CefRefPtr<CefV8Value> global = js.get()->GetGlobal();
  ASSERT_TRUE(global->SetValue("s", CefV8Value::CreateString(odd), V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_EQ(js.Run("s.length")->GetIntValue(), 8);
  EXPECT_EQ(js.RunString("Array.from(s, c => c.charCodeAt(0)).join()"),
            "97,0,98,55296,99,56320,55357");  // Array.from walks code points: the pair is one.
  EXPECT_EQ(js.Run("s.charCodeAt(7)")->GetIntValue(), 0xDE00);
  EXPECT_EQ(Codes(global->GetValue("s")->GetStringValue().ToString16()), Codes(odd));
  EXPECT_EQ(js.Run("'\\ud800' + '\\u0000'")->GetStringValue().ToString16(),
            std::u16string(u"\xD800\0", 2));
  // Property names are exact too.
  ASSERT_TRUE(global->SetValue(std::u16string(u"k\xD800", 2), CefV8Value::CreateInt(1),
                               V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_EQ(js.Run("this['k\\ud800']")->GetIntValue(), 1);
}

TEST(V8ValueImplTest, TypesFollowV8) {
  JsTestContext js;
  struct Case {
    const char* code;
    const char* type;  // u n b i d s a f o
  };
  const Case kCases[] = {
      {"undefined", "u"}, {"null", "n"},      {"true", "b"},
      {"-5", "i"},        {"2147483647", "i"}, {"2147483648", "d"},  // beyond int32
      {"-0", "d"},        // negative zero is not an int
      {"0.5", "d"},       {"NaN", "d"},        {"''", "s"},
      {"[1]", "a"},       {"(function(){})", "f"}, {"({})", "o"},
      {"Symbol()", "u"},  // no counterpart
  };
  for (const Case& c : kCases) {
    CefRefPtr<CefV8Value> v = js.Run(c.code);
    std::string t = v->IsUndefined() ? "u" : v->IsNull() ? "n" : v->IsBool() ? "b"
                  : v->IsInt()       ? "i" : v->IsDouble() ? "d" : v->IsString() ? "s"
                  : v->IsArray()     ? "a" : v->IsFunction() ? "f" : v->IsObject() ? "o" : "?";
    EXPECT_EQ(t, c.type) << c.code;
  }
  EXPECT_TRUE(js.Run("7")->IsDouble());  // Every number is a double as well.
  EXPECT_EQ(js.Run("7")->GetDoubleValue(), 7);
  EXPECT_EQ(js.Run("-3.9")->GetIntValue(), -3);
  EXPECT_EQ(js.Run("1e300")->GetIntValue(), 0);  // Out of range: no undefined behaviour.
  EXPECT_FALSE(js.Run("'x'")->GetBoolValue());
  EXPECT_TRUE(CefV8Value::CreateDouble(3)->IsDouble());
  EXPECT_FALSE(CefV8Value::CreateDouble(3)->IsInt());
  EXPECT_TRUE(CefV8Value::CreateString("a")->IsSame(CefV8Value::CreateString("a")));
  CefRefPtr<CefV8Value> object = js.Run("globalThis.o = {}");
  EXPECT_TRUE(object->IsSame(js.Run("o")));
  EXPECT_FALSE(object->IsSame(js.Run("({})")));
}

TEST(V8ValueImplTest, PropertiesAndAttributes) {
  JsTestContext js;
  CefRefPtr<CefV8Value> o = js.Run("globalThis.o = { get bad() { throw 1; } }");
  EXPECT_TRUE(o->SetValue("fixed", CefV8Value::CreateInt(1),
                          static_cast<cef_v8_propertyattribute_t>(
                              V8_PROPERTY_ATTRIBUTE_READONLY | V8_PROPERTY_ATTRIBUTE_DONTENUM)));
  EXPECT_EQ(js.Run("o.fixed = 2, o.fixed")->GetIntValue(), 1);
  EXPECT_EQ(js.RunString("Object.keys(o).join()"), "bad");
  EXPECT_TRUE(o->HasValue("fixed"));
  EXPECT_FALSE(o->HasValue("missing"));
  EXPECT_TRUE(o->GetValue("missing")->IsUndefined());
  EXPECT_EQ(o->GetValue("bad"), nullptr);  // A throwing getter gives no value.
  EXPECT_FALSE(o->SetValue("x", nullptr, V8_PROPERTY_ATTRIBUTE_NONE));
  // Primitives have no properties.
  EXPECT_FALSE(CefV8Value::CreateInt(1)->HasValue("x"));
  EXPECT_EQ(CefV8Value::CreateInt(1)->GetValue("x"), nullptr);
}

TEST(V8ValueImplTest, ExecuteFunctionPassesReceiverAndArguments) {
  JsTestContext js;
  CefRefPtr<CefV8Value> f =
      js.Run("(function () { return [this === globalThis, arguments.length,"
             " Array.prototype.join.call(arguments, '|')].join(';'); })");
  CefV8ValueList args;
  for (int i = 0; i < 20; ++i) args.push_back(CefV8Value::CreateString(std::to_string(i)));
  // More arguments than fit on the stack go through the protected path.
  std::string expected = "true;20;0|1|2|3|4|5|6|7|8|9|10|11|12|13|14|15|16|17|18|19";
  EXPECT_EQ(f->ExecuteFunction(nullptr, args)->GetStringValue().ToString(), expected);

  CefRefPtr<CefV8Value> receiver = js.Run("({})");
  EXPECT_EQ(f->ExecuteFunction(receiver, {})->GetStringValue().ToString(), "false;0;");
  // A receiver that is not an object is refused, as is calling something not a function.
  EXPECT_EQ(f->ExecuteFunction(CefV8Value::CreateInt(1), {}), nullptr);
  EXPECT_EQ(receiver->ExecuteFunction(nullptr, {}), nullptr);

  // A throwing function gives null and leaves nothing behind: the next call works.
  CefRefPtr<CefV8Value> thrower = js.Run("(function () { throw new Error('x'); })");
  EXPECT_EQ(thrower->ExecuteFunction(nullptr, {}), nullptr);
  EXPECT_EQ(f->ExecuteFunction(nullptr, {})->GetStringValue().ToString(), "true;0;");
}

TEST(V8ValueImplTest, ReleasedContextRunsNothing) {
  JsTestContext js;
  CefRefPtr<CefV8Value> f = js.Run("globalThis.ran = 0; (function () { ran++; return 1; })");
  CefRefPtr<CefV8Context> context = js.get();
  ASSERT_NE(f->ExecuteFunctionWithContext(context, nullptr, {}), nullptr);
  EXPECT_EQ(js.Run("ran")->GetIntValue(), 1);

  js.get()->MarkReleased();
  EXPECT_FALSE(context->IsValid());
  EXPECT_FALSE(f->IsValid());
  EXPECT_EQ(f->ExecuteFunctionWithContext(context, nullptr, {}), nullptr);
  EXPECT_EQ(f->ExecuteFunction(nullptr, {}), nullptr);
  EXPECT_EQ(js.Run("ran")->GetIntValue(), 1);  // Nothing ran in the dead context.
  EXPECT_EQ(V8ContextImpl::FromJS(js.js()), nullptr);
  EXPECT_FALSE(context->Enter());
  // A function of a live context is refused in a dead one too.
  JsTestContext other;
  CefRefPtr<CefV8Value> g = other.Run("(function () { return 2; })");
  EXPECT_EQ(g->ExecuteFunctionWithContext(context, nullptr, {}), nullptr);
  EXPECT_EQ(g->ExecuteFunctionWithContext(other.get(), nullptr, {})->GetIntValue(), 2);
}

}  // namespace
}  // namespace qvex_engine
