// Tests of the rewriting of `native function` declarations in extension scripts.
#include "renderer/extension_rewriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace qvex_engine {
namespace {

std::u16string U(const std::string& s) {
  return std::u16string(s.begin(), s.end());  // ASCII test texts only.
}

std::string A(const std::u16string& s) { return std::string(s.begin(), s.end()); }

// Forwards to `F` with the declaration's name, so the output shows which declaration it was.
RewrittenExtension Rewrite(const std::string& source) {
  return RewriteNativeDeclarations(U(source), [](const NativeDeclaration& d) {
    return u"return F('" + d.name + u"')";
  });
}

int Lines(const std::u16string& s) { return static_cast<int>(std::count(s.begin(), s.end(), u'\n')); }

TEST(ExtensionRewriterTest, RewritesDeclarationsWithTheirParameters) {
  RewrittenExtension r = Rewrite(
      "(function() {\n"
      "  native function foo(a, b);\n"
      "  native function bar();\n"
      "  x.foo = foo;\n"
      "})();\n");
  EXPECT_EQ(A(r.code),
            "(function() {\n"
            "  function foo(a,b){return F('foo')}\n"
            "  function bar(){return F('bar')}\n"
            "  x.foo = foo;\n"
            "})();\n");
  ASSERT_EQ(r.natives.size(), 2u);
  EXPECT_EQ(A(r.natives[0].name), "foo");
  EXPECT_EQ(r.natives[0].params.size(), 2u);
  EXPECT_EQ(r.natives[0].line, 2);
  EXPECT_EQ(A(r.natives[1].name), "bar");
  EXPECT_EQ(r.natives[1].line, 3);
}

TEST(ExtensionRewriterTest, KeepsLineNumbersOfMultiLineDeclarations) {
  const std::string source =
      "native function\n"
      "  spread( a, // first\n"
      "  /* second\n"
      "  line */ b\n"
      "  );\n"
      "native function after();\n"
      "var marker = 1;\n";
  RewrittenExtension r = Rewrite(source);
  EXPECT_EQ(Lines(r.code), Lines(U(source)));
  EXPECT_EQ(A(r.code).find("function spread(a,b){return F('spread')}\n\n\n\n\n"), 0u);
  ASSERT_EQ(r.natives.size(), 2u);
  EXPECT_EQ(r.natives[1].line, 6);
  // The line after both declarations is still line 7.
  std::string code = A(r.code);
  EXPECT_EQ(std::count(code.begin(), code.begin() + code.find("var marker"), '\n'), 6);
  // CR LF pairs are kept as they were and count once.
  RewrittenExtension crlf = Rewrite("\r\nnative function\r\nf();\r\nnative function g();");
  EXPECT_EQ(A(crlf.code), "\r\nfunction f(){return F('f')}\r\n\r\nfunction g(){return F('g')}");
  EXPECT_EQ(crlf.natives[1].line, 4);
  // A lone CR inside a declaration must not pair up with the LF after it.
  RewrittenExtension cr = Rewrite("native function f()\r;\nnative function g();");
  EXPECT_EQ(A(cr.code), "function f(){return F('f')}\n\nfunction g(){return F('g')}");
  EXPECT_EQ(cr.natives[1].line, 3);
}

TEST(ExtensionRewriterTest, LeavesDeclarationsInsideNonCodeUntouched) {
  const char* const kUntouched[] = {
      "var s = 'native function a();';",            // single-quoted string
      "var s = \"native function a();\";",          // double-quoted string
      "var s = 'it\\'s native function a();';",     // escaped quote stays in the string
      "var s = \"line\\\nnative function a();\";",  // line continuation inside a string
      "// native function a();",                    // line comment
      "/* native function a(); */",                 // block comment
      "/* unclosed native function a();",           // unclosed comment runs to the end
      "var t = `native function a();`;",            // template literal
      "var t = `${'}'} native function a();`;",     // brace inside a substitution's string
      "var r = /native function a();/g;",           // regular expression
      "var r = /[/]native function a();/;",         // slash inside a character class
      "x.native function a();",                     // a member named native
      "native function a(1);",                      // parameter is not an identifier
      "native function (a);",                       // no name
      "native function a(b) + 1;",                  // not a statement end
      "native fn a();",                             // not `function`
  };
  for (const char* source : kUntouched) {
    RewrittenExtension r = Rewrite(source);
    EXPECT_EQ(A(r.code), source);
    EXPECT_TRUE(r.natives.empty()) << source;
  }
}

TEST(ExtensionRewriterTest, FindsCodeAfterAndInsideTemplatesAndRegexes) {
  // Code in a substitution, even inside nested templates, is code.
  RewrittenExtension nested = Rewrite(
      "var t = `a${ `b${ (function(){ native function inner(); return inner; })() }` }c`;");
  ASSERT_EQ(nested.natives.size(), 1u);
  EXPECT_EQ(A(nested.natives[0].name), "inner");
  EXPECT_NE(A(nested.code).find("function inner(){return F('inner')}"), std::string::npos);

  // A division is not a regular expression: the declaration after it is found.
  RewrittenExtension division = Rewrite("var x = a / b; native function d(); var y = c / 2;");
  ASSERT_EQ(division.natives.size(), 1u);
  EXPECT_EQ(A(division.natives[0].name), "d");

  // After `return` a slash starts a regular expression that contains a quote.
  RewrittenExtension regex =
      Rewrite("function f() { return /'/.test(s); }\nnative function r();\n");
  ASSERT_EQ(regex.natives.size(), 1u);
  EXPECT_EQ(regex.natives[0].line, 2);

  // A slash that cannot close on its line is a division, not an endless literal.
  RewrittenExtension broken = Rewrite("i++ / 2\nnative function after();");
  EXPECT_EQ(broken.natives.size(), 1u);
}

TEST(ExtensionRewriterTest, AcceptsAutomaticSemicolonsAndOddSpacing) {
  RewrittenExtension r = Rewrite(
      "{ native function a() }\n"
      "native/**/function/**/b(x)\n"
      "native function c()");
  ASSERT_EQ(r.natives.size(), 3u);
  EXPECT_EQ(A(r.code),
            "{ function a(){return F('a')} }\n"
            "function b(x){return F('b')}\n"
            "function c(){return F('c')}");
}

TEST(ExtensionRewriterTest, SurvivesArbitraryBytes) {
  // Truncations of a realistic script at every point: no crash, and the text is unchanged
  // wherever no declaration was found.
  const std::string full =
      "var s = 'x\\'y'; /* c */ var t = `a${b + `c${d}`}e`; var r = /[/\\]]+/g;\n"
      "native function k(a, b); // tail";
  for (size_t n = 0; n <= full.size(); ++n) {
    RewrittenExtension r = Rewrite(full.substr(0, n));
    if (r.natives.empty()) {
      EXPECT_EQ(A(r.code), full.substr(0, n));
    }
  }
  std::u16string odd = u"\u2028native function \u00e9t\u00e9();\xD800`${";
  RewrittenExtension r = RewriteNativeDeclarations(odd, nullptr);
  ASSERT_EQ(r.natives.size(), 1u);
  EXPECT_EQ(r.natives[0].line, 2);  // U+2028 ends a line.
}

}  // namespace
}  // namespace qvex_engine
