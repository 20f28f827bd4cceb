// DiagnoseScript: a project script checked the way the shell will run it, without running it:
// UTF-8 with GLib, the `native function` declarations with the web-extension module's own
// scanner, the syntax with JavaScriptCore's check. Any thread (a JSC context of its own).
#include <glib.h>
#include <jsc/jsc.h>

#include "include/internal/cef_string.h"
#include "include/qvex_diagnostics.h"
#include "renderer/extension_rewriter.h"

namespace qvex_diagnostics {

namespace {

// Finds the first byte that is not UTF-8; NUL bytes are text here. Returns false with
// `bad` at that byte.
bool ValidateUtf8(const std::string& text, size_t* bad) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const char* stop = nullptr;
    if (g_utf8_validate(p, end - p, &stop)) return true;
    if (stop < end && *stop == '\0') {  // GLib stops at NUL: go on after it.
      p = stop + 1;
      continue;
    }
    *bad = stop - text.data();
    return false;
  }
  return true;
}

void CheckSyntax(const std::string& code, const std::string& uri, ScriptDiagnosis* d) {
  g_autoptr(JSCContext) context = jsc_context_new();
  g_autoptr(JSCException) exception = nullptr;
  JSCCheckSyntaxResult result =
      jsc_context_check_syntax(context, code.data(), static_cast<gssize>(code.size()),
                               JSC_CHECK_SYNTAX_MODE_SCRIPT, uri.c_str(), 1, &exception);
  if (result == JSC_CHECK_SYNTAX_RESULT_SUCCESS) return;
  d->syntax_ok = false;
  if (exception) {
    const char* message = jsc_exception_get_message(exception);
    d->syntax_error = message ? message : "";
    d->line = static_cast<int>(jsc_exception_get_line_number(exception));
    d->column = static_cast<int>(jsc_exception_get_column_number(exception));
  }
  if (d->syntax_error.empty()) d->syntax_error = "syntax error";
}

// The text of the 1-based line `line` of `text` (LF, CR LF or CR ends a line).
std::string LineText(const std::string& text, int line) {
  size_t start = 0;
  for (int current = 1; current < line && start < text.size(); ++current) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) return "";
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  size_t end = text.find_first_of("\r\n", start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

void LineAndColumn(const std::string& text, size_t offset, int* line, int* column) {
  *line = 1;
  size_t line_start = 0;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++*line;
      line_start = i + 1;
    }
  }
  *column = static_cast<int>(offset - line_start) + 1;
}

ScriptDiagnosis DiagnoseScript(const std::string& text, const std::string& uri, bool extension) {
  ScriptDiagnosis d;
  size_t bad = 0;
  if (!ValidateUtf8(text, &bad)) {
    d.utf8 = false;
    LineAndColumn(text, bad, &d.bad_utf8_line, &d.bad_utf8_column);
    return d;
  }
  std::string code = text;
  if (extension) {
    // The declarations become empty functions on the lines they were on, as the module
    // rewrites them before JavaScriptCore sees the text.
    qvex_engine::RewrittenExtension rewritten =
        qvex_engine::RewriteNativeDeclarations(CefString(text).ToString16(), nullptr);
    code = CefString(rewritten.code).ToString();
    for (const qvex_engine::NativeDeclaration& n : rewritten.natives)
      d.natives.push_back({CefString(n.name).ToString(), n.line});
  }
  CheckSyntax(code, uri, &d);
  // From the project's own text, not the rewritten one.
  if (!d.syntax_ok && d.line > 0) d.line_text = LineText(text, d.line);
  return d;
}

}  // namespace qvex_diagnostics
