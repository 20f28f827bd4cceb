// libFuzzer target: the rewriter of `native function` declarations on arbitrary script text. It
// must keep every line number and put each replacement on the line of its declaration.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "renderer/extension_rewriter.h"

namespace {

using qvex_engine::NativeDeclaration;
using qvex_engine::RewriteNativeDeclarations;

// Units a script's bytes cannot spell in the one-byte mode but the scanner treats specially.
constexpr char16_t kSpecialUnits[] = {0x2028, 0x2029, 0x00A0, 0xFEFF, 0x1680, 0x2000, 0x200A,
                                      0x202F, 0x205F, 0x3000, 0xD800, 0xDC00, 0xDBFF, 0xDFFF,
                                      0x0085, 0xFFFF};

// An even first byte: one unit per byte, bytes 0xF0-0xFF standing for the special units above.
// An odd one: the rest as UTF-16LE, any unit at all (lone surrogates included).
std::u16string SourceFrom(const uint8_t* data, size_t size) {
  std::u16string source;
  if (size == 0) return source;
  const bool raw = data[0] & 1;
  ++data, --size;
  if (raw) {
    for (size_t i = 0; i + 1 < size; i += 2) source.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  } else {
    for (size_t i = 0; i < size; ++i)
      source.push_back(data[i] >= 0xF0 ? kSpecialUnits[data[i] - 0xF0] : data[i]);
  }
  return source;
}

bool IsLineTerminator(char16_t c) {
  return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029;
}

// The text's lines as JavaScript counts them (CR LF is one break).
std::vector<std::u16string> Lines(const std::u16string& s) {
  std::vector<std::u16string> lines(1);
  for (size_t i = 0; i < s.size(); ++i) {
    if (!IsLineTerminator(s[i])) {
      lines.back().push_back(s[i]);
      continue;
    }
    if (s[i] == u'\r' && i + 1 < s.size() && s[i + 1] == u'\n') ++i;
    lines.emplace_back();
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string source = SourceFrom(data, size);
  int built = 0;
  const auto result = RewriteNativeDeclarations(source, [&](const NativeDeclaration& d) {
    return u"return forward(" + std::u16string(1, static_cast<char16_t>(u'0' + built++ % 10)) +
           u",this,arguments)";
  });
  FUZZ_CHECK(built == static_cast<int>(result.natives.size()));
  if (source.find(u"native") == std::u16string::npos) {
    FUZZ_CHECK(result.natives.empty());
    FUZZ_CHECK(result.code == source);
    return 0;
  }

  const std::vector<std::u16string> before = Lines(source);
  const std::vector<std::u16string> after = Lines(result.code);
  FUZZ_CHECK(before.size() == after.size());

  int previous_line = 1;
  size_t search_from = 0;
  int current_line = -1;
  for (const NativeDeclaration& d : result.natives) {
    FUZZ_CHECK(!d.name.empty());
    FUZZ_CHECK(d.line >= previous_line && d.line <= static_cast<int>(before.size()));
    // The declaration started on its line in the source, and its replacement stands there now.
    FUZZ_CHECK(before[d.line - 1].find(u"native") != std::u16string::npos);
    std::u16string replacement = u"function " + d.name + u"(";
    for (size_t k = 0; k < d.params.size(); ++k) {
      FUZZ_CHECK(!d.params[k].empty());
      replacement += (k ? u"," : u"") + d.params[k];
    }
    replacement += u"){return forward(";
    if (d.line != current_line) search_from = 0, current_line = d.line;
    const size_t at = after[d.line - 1].find(replacement, search_from);
    FUZZ_CHECK(at != std::u16string::npos);
    search_from = at + replacement.size();
    previous_line = d.line;
  }
  return 0;
}
