// Rewrites the `native function NAME(params);` declarations of an extension's script text into
// ordinary functions, so the text runs in JavaScriptCore. Pure text processing; any thread.
#ifndef QVEX_ENGINE_RENDERER_EXTENSION_REWRITER_H_
#define QVEX_ENGINE_RENDERER_EXTENSION_REWRITER_H_

#include <functional>
#include <string>
#include <vector>

namespace qvex_engine {

struct NativeDeclaration {
  std::u16string name;
  std::vector<std::u16string> params;
  int line = 0;  // 1-based line of the `native` keyword.
};

struct RewrittenExtension {
  std::u16string code;
  std::vector<NativeDeclaration> natives;  // In the order they appear.
};

// Builds the body statement of the function that replaces one declaration, for example
// `return forward(3,this,arguments)`.
using NativeBodyBuilder = std::function<std::u16string(const NativeDeclaration&)>;

// Finds the declarations in code (not in strings, template literals, regular expressions or
// comments) and replaces each with `function NAME(params){BODY}` followed by the line breaks
// the declaration spanned, so every later line keeps its number. All other text is copied
// unchanged, including text that resembles a declaration but does not parse as one.
RewrittenExtension RewriteNativeDeclarations(const std::u16string& source,
                                             const NativeBodyBuilder& body);

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_RENDERER_EXTENSION_REWRITER_H_
