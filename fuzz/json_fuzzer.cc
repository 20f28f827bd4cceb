// libFuzzer target: JSON::parse on any bytes and any nesting depth, checked against rapidjson's
// own (iterative, so unbounded) parser, then written out and read back.
#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "util/json.h"

namespace {

// The text to parse. A first byte of 1 modulo 4: a unit of one to four bytes repeated up to
// 65,535 times, then the rest, so that deep nesting ("[" sixty thousand times, far past where a
// recursive parser would overflow its stack) costs the fuzzer a few bytes instead of sixty
// kilobytes. Any other first byte: the rest as it is (most runs, which are much faster).
std::string TextFrom(const uint8_t* data, size_t size) {
  if (size == 0) return std::string();
  if (data[0] % 4 != 1 || size < 4) return std::string(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t count = data[1] | (data[2] << 8);
  const size_t unit_size = std::min<size_t>(data[3] % 4 + 1, size - 4);
  const std::string unit(reinterpret_cast<const char*>(data + 4), unit_size);
  std::string text;
  text.reserve(count * unit.size() + size);
  for (size_t i = 0; i < count; ++i) text += unit;
  text.append(reinterpret_cast<const char*>(data + 4 + unit_size), size - 4 - unit_size);
  return text;
}

// Depth of a value (the root counts as 1), without recursion; -1 if a number in it is not
// finite (JSON::parse refuses those).
int DepthOf(const rapidjson::Value& root) {
  int deepest = 0;
  std::vector<std::pair<const rapidjson::Value*, int>> stack{{&root, 1}};
  while (!stack.empty()) {
    auto [value, depth] = stack.back();
    stack.pop_back();
    if (value->IsDouble() && !std::isfinite(value->GetDouble())) return -1;
    if (value->IsArray() || value->IsObject()) deepest = std::max(deepest, depth);
    if (value->IsArray()) {
      for (const auto& element : value->GetArray()) stack.push_back({&element, depth + 1});
    } else if (value->IsObject()) {
      for (const auto& member : value->GetObject()) stack.push_back({&member.value, depth + 1});
    }
  }
  return deepest;
}

// Doubles read with rapidjson's default (fast, not exact) flags may land one unit in the last
// place off the written digits, so text written and read back can differ in the last digit.
bool CloseEnough(const rapidjson::Value& x, const rapidjson::Value& y) {
  if (!x.IsDouble() || !y.IsDouble()) return x == y;
  const double a = x.GetDouble(), b = y.GetDouble();
  return a == b || std::fabs(a - b) <= 1e-14 * std::max(std::fabs(a), std::fabs(b));
}

// Same tree, members in the same order; without recursion and in linear time (rapidjson's
// operator== looks members up by name, quadratic on a wide object).
bool SameTree(const rapidjson::Value& a, const rapidjson::Value& b, bool exact = true) {
  std::vector<std::pair<const rapidjson::Value*, const rapidjson::Value*>> stack{{&a, &b}};
  while (!stack.empty()) {
    auto [x, y] = stack.back();
    stack.pop_back();
    if (x->GetType() != y->GetType()) return false;
    if (x->IsArray()) {
      if (x->Size() != y->Size()) return false;
      for (rapidjson::SizeType i = 0; i < x->Size(); ++i) stack.push_back({&(*x)[i], &(*y)[i]});
    } else if (x->IsObject()) {
      if (x->MemberCount() != y->MemberCount()) return false;
      for (auto m = x->MemberBegin(), n = y->MemberBegin(); m != x->MemberEnd(); ++m, ++n) {
        if (m->name != n->name) return false;
        stack.push_back({&m->value, &n->value});
      }
    } else if (exact ? *x != *y : !CloseEnough(*x, *y)) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = TextFrom(data, size);

  // The reference: rapidjson's iterative parser with the same default flags, on the text up to
  // its first NUL as JSON::parse reads it.
  rapidjson::Document reference;
  reference.Parse<rapidjson::kParseIterativeFlag>(text.c_str());
  const int depth = reference.HasParseError() ? -1 : DepthOf(reference);
  const bool reference_ok = depth >= 0 && depth <= JSON::kMaxNestingDepth;

  JSON json;
  json.setValue("kept", "yes");
  const bool is_object = json.parse(text);
  FUZZ_CHECK(json.parsed == reference_ok);
  FUZZ_CHECK(is_object == (reference_ok && reference.IsObject()));
  if (!json.parsed) {
    // A failed parse keeps the previous root.
    FUZZ_CHECK(json.value("kept") == "yes");
    FUZZ_CHECK(json.ToString().empty());
    return 0;
  }
  FUZZ_CHECK(SameTree(json.document, reference));

  // Every member reads as text (the first few looked up by name: lookups are linear), and the
  // document survives writing and reading back.
  int looked_up = 0;
  json.loopObject("root", [&](std::string name, std::string type, std::string value) {
    FUZZ_CHECK(!type.empty());
    if (++looked_up > 64) return;
    auto member = json.document.FindMember(name.c_str());
    if (member == json.document.MemberEnd()) return;  // A name with a NUL: looked up up to it.
    FUZZ_CHECK(json.value(name) == JSON::val2String(member->value));
    json.loopArray(name, [](const rapidjson::Value* element) { JSON::val2String(*element); });
    json.loopObject(name, [](std::string, std::string, std::string) {});
  });
  const std::string written = json.ToString();
  FUZZ_CHECK(!written.empty());
  JSON again;
  FUZZ_CHECK(again.parse(written) == is_object);
  FUZZ_CHECK(again.parsed);
  FUZZ_CHECK(SameTree(again.document, json.document, false));
  if (is_object) {
    json.setValue("kept", "again");
    FUZZ_CHECK(json.value("kept") == "again");
  }
  return 0;
}
