// Tests for JSON: parsing and its failures, top-level access, iteration, writing, nesting cap.
#include "util/json.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

std::string Nested(size_t depth) {
  return std::string(depth, '[') + std::string(depth, ']');
}

// A scratch file removed again at the end of the test.
class TempFile {
 public:
  explicit TempFile(const std::string& content) {
    char name[] = "/tmp/json_test_XXXXXX";
    const int fd = mkstemp(name);
    close(fd);
    path_ = name;
    std::ofstream(path_, std::ios::binary) << content;
  }
  ~TempFile() { std::filesystem::remove(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(JSONTest, StartsAsEmptyObject) {
  JSON j;
  EXPECT_TRUE(j.parsed);
  EXPECT_TRUE(j.document.IsObject());
  EXPECT_EQ(j.ToString(), "{}");
  EXPECT_EQ(j.value("a"), "");
}

TEST(JSONTest, FailedParseKeepsPreviousDocument) {
  const std::string bad[] = {
      "",               // Empty document.
      "{",              // Unterminated object.
      "{\"a\":1,}",     // Trailing comma.
      "{} {}",          // Something after the root.
      "/*c*/{}",        // Comments are not JSON.
      "{'a':1}",        // Single quotes.
      "{\"a\":01}",     // Leading zero.
      "{\"a\":1e999}",  // Number too big for a double.
      "[184467e308]",   // Too big as well, though the exponent alone is in range.
      "[-1.8e308]",     // Below the lowest double.
      "nul",            // Truncated literal.
  };
  for (const std::string& text : bad) {
    JSON j;
    ASSERT_TRUE(j.parse("{\"k\":\"v\"}"));
    EXPECT_FALSE(j.parse(text)) << text;
    EXPECT_FALSE(j.parsed);
    EXPECT_EQ(j.ToString(), "");   // Gated by `parsed`...
    EXPECT_EQ(j.value("k"), "v");  // ...but the kept document is still readable.
  }
}

TEST(JSONTest, NonObjectRootParsesButReturnsFalse) {
  JSON j;
  EXPECT_FALSE(j.parse("[1,2]"));
  EXPECT_TRUE(j.parsed);
  EXPECT_EQ(j.ToString(), "[\n    1,\n    2\n]");
  EXPECT_EQ(j.value("0"), "");
  int calls = 0;
  j.loopObject("root", [&](std::string, std::string, std::string) { ++calls; });
  j.loopArray("root", [&](const rapidjson::Value*) { ++calls; });
  j.setValue("x", "y");  // Only defined on objects: must leave the array alone.
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(j.ToString(), "[\n    1,\n    2\n]");
  EXPECT_FALSE(j.parse("\"s\""));
  EXPECT_EQ(j.ToString(), "\"s\"");
  // Text after a NUL is not read.
  EXPECT_TRUE(j.parse("{\"a\":1}\0garbage"s));
}

TEST(JSONTest, ValueFormatsScalars) {
  JSON j;
  ASSERT_TRUE(j.parse(R"({"d":1.5,"i":7,"neg":-2147483648,"max":2147483647,
      "big":3000000000,"over":2147483648,"whole":7.0,"t":true,"f":false,"n":null,
      "o":{"x":1},"a":[1],"s":"x\u0000y","e":"","huge":1e300})"));
  const std::pair<const char*, std::string> cases[] = {
      {"d", "1.500000"},
      {"i", "7"},
      {"neg", "-2147483648"},
      {"max", "2147483647"},
      {"big", "3000000000.000000"},  // Outside int32: printed as a double.
      {"over", "2147483648.000000"},
      {"whole", "7.000000"},
      {"t", "1"},
      {"f", "0"},
      {"n", ""},
      {"o", ""},
      {"a", ""},
      {"s", "x"},  // Up to the first NUL.
      {"e", ""},
      {"missing", ""},
  };
  for (const auto& [key, text] : cases)
    EXPECT_EQ(j.value(key), text) << key;
  const std::string huge = j.value("huge");  // 301 digits: no fixed-size buffer.
  EXPECT_EQ(huge.size(), 308u);
  EXPECT_EQ(huge.substr(0, 2), "10");
}

TEST(JSONTest, KeysAreWholeTopLevelNames) {
  JSON j;
  ASSERT_TRUE(j.parse(R"({"a":{"b":1},"a.b":"dot","a/b":"slash","k":"first","k":"second"})"));
  EXPECT_EQ(j.value("a.b"), "dot");  // No path syntax.
  EXPECT_EQ(j.value("a/b"), "slash");
  EXPECT_EQ(j.value("b"), "");              // Nested members are not reachable.
  EXPECT_EQ(j.value("k"), "first");         // First match in document order.
  EXPECT_EQ(j.value("k\0junk"s), "first");  // Key taken up to its NUL.
  EXPECT_EQ(j.value("K"), "");              // Byte comparison.
}

TEST(JSONTest, SetValueReplacesInPlaceOrAppends) {
  JSON j;
  ASSERT_TRUE(j.parse(R"({"n":5,"o":{"x":[1]},"z":true})"));
  j.setValue("n", "five");
  j.setValue("o", "flat\0cut"s);
  j.setValue("new", "v");
  EXPECT_EQ(j.value("n"), "five");
  EXPECT_TRUE(j.document["n"].IsString());
  EXPECT_EQ(j.value("o"), "flat");
  EXPECT_EQ(j.ToString(),
            "{\n    \"n\": \"five\",\n    \"o\": \"flat\",\n    \"z\": true,\n"
            "    \"new\": \"v\"\n}");
  std::string value = "temporary";
  j.setValue("copy", value);
  value.assign(20, 'x');  // The document holds its own copy of the value.
  EXPECT_EQ(j.value("copy"), "temporary");
}

TEST(JSONTest, LoopObjectVisitsMembersInOrder) {
  JSON j;
  ASSERT_TRUE(j.parse(R"({"a":null,"b":false,"c":true,"d":{"x":1,"y":"s"},"e":[],"f":"t",
      "g":2.5,"root":{"q":1}})"));
  std::vector<std::string> seen;
  auto record = [&](std::string k, std::string t, std::string v) {
    seen.push_back(k + "|" + t + "|" + v);
  };
  j.loopObject("root", record);  // "root" is the root, even with a member of that name.
  EXPECT_EQ(seen,
            (std::vector<std::string>{"a|Null|", "b|False|0", "c|True|1", "d|Object|", "e|Array|",
                                      "f|String|t", "g|Number|2.500000", "root|Object|"}));
  seen.clear();
  j.loopObject("d", record);
  EXPECT_EQ(seen, (std::vector<std::string>{"x|Number|1", "y|String|s"}));
  seen.clear();
  j.loopObject("e", record);  // An array, not an object.
  j.loopObject("missing", record);
  EXPECT_TRUE(seen.empty());
}

TEST(JSONTest, LoopArrayVisitsElementsInOrder) {
  JSON j;
  ASSERT_TRUE(j.parse(R"({"list":[3,"x",{"k":1}],"root":[9],"o":{}})"));
  std::vector<std::string> seen;
  auto record = [&](const rapidjson::Value* v) {
    seen.push_back(v->IsObject() ? "obj" : JSON::val2String(*v));
  };
  j.loopArray("list", record);
  EXPECT_EQ(seen, (std::vector<std::string>{"3", "x", "obj"}));
  seen.clear();
  j.loopArray("root", record);  // An ordinary member name here.
  EXPECT_EQ(seen, (std::vector<std::string>{"9"}));
  seen.clear();
  j.loopArray("o", record);
  j.loopArray("missing", record);
  EXPECT_TRUE(seen.empty());
}

TEST(JSONTest, ToStringWritesIndentedJson) {
  JSON j;
  ASSERT_TRUE(j.parse(R"({"a":[],"b":{},"c":[0.1,-1],"d":"q\"\\\n\u0001"})"));
  EXPECT_EQ(j.ToString(),
            "{\n    \"a\": [],\n    \"b\": {},\n    \"c\": [\n        0.1,\n        -1\n"
            "    ],\n    \"d\": \"q\\\"\\\\\\n\\u0001\"\n}");
  JSON round;
  EXPECT_TRUE(round.parse(j.ToString()));
  EXPECT_EQ(round.ToString(), j.ToString());
}

// Found by fuzzing: rapidjson read "184467e308" as infinity, which its writer cannot write, so
// ToString() returned a truncated text that did not parse again.
TEST(JSONTest, EveryParsedDocumentWritesValidJson) {
  const std::string texts[] = {
      "[1.7976931348623157e308, -1.7976931348623157e308]",  // The largest doubles still parse.
      "[4.9e-324, 1e-400]",                                 // Underflow is not an error.
      "[649, 17976e304]",                                   // Digits and exponent near the top.
  };
  for (const std::string& text : texts) {
    JSON j;
    EXPECT_FALSE(j.parse(text)) << text;  // Parsed, but not an object.
    ASSERT_TRUE(j.parsed) << text;
    JSON again;
    again.parse(j.ToString());
    EXPECT_TRUE(again.parsed) << j.ToString();
  }
  JSON j;
  ASSERT_TRUE(j.parse("{\"k\":1}"));
  EXPECT_FALSE(j.parse("[649, 184467e308, 4.9e-324]"));
  EXPECT_FALSE(j.parsed);
  EXPECT_EQ(j.value("k"), "1");
  TempFile file("{\"a\": 18446744073709551616e300}");
  CaptureStdout();
  EXPECT_FALSE(j.parseFile(file.path()));
  EXPECT_EQ(GetCapturedStdout(), "Error  : 16\nOffset : 6\n");  // Where the number starts.
}

TEST(JSONTest, NestingBeyondTheCapIsAParseError) {
  const int cap = JSON::kMaxNestingDepth;
  JSON j;
  ASSERT_TRUE(j.parse("{\"k\":1}"));
  // Arrays at the cap parse (the root is then not an object) and write out.
  EXPECT_FALSE(j.parse(Nested(cap)));
  EXPECT_TRUE(j.parsed);
  JSON copy;
  EXPECT_FALSE(copy.parse(j.ToString()));
  EXPECT_TRUE(copy.parsed);
  EXPECT_EQ(copy.ToString(), j.ToString());
  std::string objects;
  for (int i = 1; i < cap; ++i)
    objects += "{\"a\":";
  objects += "{}" + std::string(cap - 1, '}');
  EXPECT_TRUE(j.parse(objects));
  ASSERT_TRUE(j.parse("{\"k\":1}"));
  // One level more, or a million (enough to overflow a recursive parser), fails cleanly.
  const std::string too_deep[] = {Nested(cap + 1), std::string(1000000, '['), Nested(1000000),
                                  "{\"a\":" + Nested(cap) + "}"};
  for (const std::string& text : too_deep) {
    EXPECT_FALSE(j.parse(text));
    EXPECT_FALSE(j.parsed);
    EXPECT_EQ(j.value("k"), "1");
  }
}

TEST(JSONTest, ParseFileReportsErrors) {
  JSON j;
  TempFile good("{\"a\":\"b\"}");
  EXPECT_TRUE(j.parseFile(good.path()));
  EXPECT_EQ(j.value("a"), "b");

  const std::string missing = "no/such/file.json";
  CaptureStdout();
  EXPECT_FALSE(j.parseFile(missing));
  EXPECT_EQ(GetCapturedStdout(), "Could not open file for reading!no/such/file.json\n");
  EXPECT_TRUE(j.parsed);  // Nothing was parsed.

  const std::pair<std::string, std::string> errors[] = {
      {"{\"a\" 1}", "Error  : 5\nOffset : 5\n"},  // Missing colon.
      {"", "Error  : 1\nOffset : 0\n"},           // Empty document.
      {std::string(1000000, '[') + "]",
       "Error  : 16\nOffset : " + std::to_string(JSON::kMaxNestingDepth + 1) + "\n"},
  };
  for (const auto& [text, output] : errors) {
    TempFile bad(text);
    CaptureStdout();
    EXPECT_FALSE(j.parseFile(bad.path()));
    EXPECT_EQ(GetCapturedStdout(), output);
    EXPECT_FALSE(j.parsed);
    EXPECT_EQ(j.value("a"), "b");
  }

  TempFile array("[1]");
  CaptureStdout();
  EXPECT_FALSE(j.parseFile(array.path()));  // Valid, but not an object: no message.
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_TRUE(j.parsed);

  // Relative names are resolved against the working directory.
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path("/tmp");
  EXPECT_TRUE(j.parseFile(std::filesystem::path(good.path()).filename().string()));
  std::filesystem::current_path(cwd);

  EXPECT_THROW(j.parseFile(""), std::filesystem::filesystem_error);
}

}  // namespace
