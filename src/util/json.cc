// JSON: one in-memory JSON document addressed by the names of its top-level members.
#include "util/json.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <utility>

#include <rapidjson/istreamwrapper.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>

namespace {

// Forwards the reader's events to a document and stops the parse, with
// kParseErrorTermination, at the first array or object that would nest deeper than the cap and
// at the first number beyond the range of a double.
// rapidjson's reader descends only after StartObject/StartArray returns true, so its own
// recursion never goes past the cap either.
class DepthLimitedHandler {
 public:
  explicit DepthLimitedHandler(rapidjson::Document& target) : target_(target) {}

  bool Null() { return target_.Null(); }
  bool Bool(bool b) { return target_.Bool(b); }
  bool Int(int i) { return target_.Int(i); }
  bool Uint(unsigned u) { return target_.Uint(u); }
  bool Int64(int64_t i) { return target_.Int64(i); }
  bool Uint64(uint64_t u) { return target_.Uint64(u); }
  // rapidjson rejects an exponent above 308 but reads a number that its mantissa carries past
  // the largest double ("184467e308") as infinity. JSON has no infinity, and the writer stops
  // at one, leaving ToString() a truncated text: such a number fails the parse instead.
  bool Double(double d) { return std::isfinite(d) && target_.Double(d); }
  bool RawNumber(const char* str, rapidjson::SizeType length, bool copy) {
    return target_.RawNumber(str, length, copy);
  }
  bool String(const char* str, rapidjson::SizeType length, bool copy) {
    return target_.String(str, length, copy);
  }
  bool Key(const char* str, rapidjson::SizeType length, bool copy) {
    return target_.Key(str, length, copy);
  }
  bool StartObject() { return Enter() && target_.StartObject(); }
  bool EndObject(rapidjson::SizeType members) {
    --depth_;
    return target_.EndObject(members);
  }
  bool StartArray() { return Enter() && target_.StartArray(); }
  bool EndArray(rapidjson::SizeType elements) {
    --depth_;
    return target_.EndArray(elements);
  }

 private:
  bool Enter() { return ++depth_ <= JSON::kMaxNestingDepth; }

  rapidjson::Document& target_;
  int depth_ = 0;
};

// Feeds a document through Document::Populate, which takes the finished root off the
// document's value stack.
template <typename InputStream>
struct LimitedParse {
  bool operator()(rapidjson::Document& document) {
    DepthLimitedHandler handler(document);
    rapidjson::Reader reader;
    result = reader.Parse<rapidjson::kParseDefaultFlags>(stream, handler);
    return !result.IsError();
  }

  InputStream& stream;
  rapidjson::ParseResult result;
};

}  // namespace

const char* const JSON::kTypeNames[7] = {"Null",  "False",  "True",  "Object",
                                         "Array", "String", "Number"};

JSON::JSON() : parsed(false) {
  parse("{}");
}

template <typename InputStream>
bool JSON::ParseStream(InputStream& stream, rapidjson::ParseResult* error) {
  try {
    // Parsed aside, into the same allocator, so that a failed parse keeps the current root.
    rapidjson::Document fresh(&document.GetAllocator());
    LimitedParse<InputStream> generator{stream, rapidjson::ParseResult()};
    fresh.Populate(generator);
    if (generator.result.IsError()) {
      *error = generator.result;
      parsed = false;
      return false;
    }
    // Moves the tree; with a pool allocator nothing is freed or walked.
    static_cast<rapidjson::Value&>(document) = static_cast<rapidjson::Value&>(fresh);
    parsed = true;
    return document.IsObject();
  } catch (...) {
    return false;
  }
}

bool JSON::parse(const std::string& text) {
  rapidjson::StringStream stream(text.c_str());
  rapidjson::ParseResult error;
  return ParseStream(stream, &error);
}

bool JSON::parseFile(const std::string& fileName) {
  const std::filesystem::path path = std::filesystem::absolute(std::filesystem::path(fileName));
  std::ifstream in(path);
  if (!in.is_open()) {
    std::cout << "Could not open file for reading!" << fileName << "\n";
    return false;
  }
  rapidjson::IStreamWrapper stream(in);
  rapidjson::ParseResult error;
  const bool result = ParseStream(stream, &error);
  if (error.IsError()) {
    std::cout << "Error  : " << static_cast<int>(error.Code()) << "\n";
    std::cout << "Offset : " << error.Offset() << "\n";
  }
  return result;
}

std::string JSON::value(std::string key) {
  if (!document.IsObject())
    return std::string();
  const auto member = document.FindMember(key.c_str());
  if (member == document.MemberEnd())
    return std::string();
  return val2String(member->value);
}

void JSON::setValue(rapidjson::GenericStringRef<char> key, std::string val) {
  if (!document.IsObject())
    return;
  const rapidjson::GenericStringRef<char> name(
      key.s, static_cast<rapidjson::SizeType>(std::strlen(key.s)));
  auto& allocator = document.GetAllocator();
  const auto member = document.FindMember(rapidjson::Value(name));
  if (member != document.MemberEnd()) {
    member->value.SetString(val.c_str(), allocator);
    return;
  }
  document.AddMember(rapidjson::Value(name), rapidjson::Value(val.c_str(), allocator), allocator);
}

void JSON::loopObject(std::string name,
                      std::function<void(std::string, std::string, std::string)> callback) {
  const rapidjson::Value* selected = &document;
  if (name != "root") {
    if (!document.IsObject())
      return;
    const auto member = document.FindMember(name.c_str());
    if (member == document.MemberEnd())
      return;
    selected = &member->value;
  }
  if (!selected->IsObject())
    return;
  for (auto m = selected->MemberBegin(); m != selected->MemberEnd(); ++m) {
    callback(std::string(m->name.GetString(), m->name.GetStringLength()),
             kTypeNames[m->value.GetType()], val2String(m->value));
  }
}

void JSON::loopArray(std::string name, std::function<void(const rapidjson::Value*)> callback) {
  if (!document.IsObject())
    return;
  const auto member = document.FindMember(name.c_str());
  if (member == document.MemberEnd() || !member->value.IsArray())
    return;
  for (const auto& element : member->value.GetArray())
    callback(&element);
}

std::string JSON::ToString() {
  if (!parsed)
    return std::string();
  rapidjson::StringBuffer buffer;
  rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
  document.Accept(writer);
  return std::string(buffer.GetString());
}

std::string JSON::val2String(const rapidjson::Value& val) {
  char small[64];
  if (val.IsString())
    return std::string(val.GetString());
  if (val.IsInt()) {
    std::snprintf(small, sizeof(small), "%d", val.GetInt());
    return small;
  }
  if (val.IsNumber()) {
    // "%f" of a large double runs to over 300 digits.
    const double d = val.GetDouble();
    const int length = std::snprintf(nullptr, 0, "%f", d);
    std::string text(static_cast<size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, "%f", d);
    return text;
  }
  if (val.IsBool()) {
    std::snprintf(small, sizeof(small), "%d", val.GetBool() ? 1 : 0);
    return small;
  }
  return std::string();
}
