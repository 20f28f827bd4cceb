// The scanner behind RewriteNativeDeclarations: a tokenizer just deep enough to tell code from
// strings, template literals, regular expressions and comments.
#include "renderer/extension_rewriter.h"

#include <utility>

namespace qvex_engine {

namespace {

bool IsLineTerminator(char16_t c) {
  return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029;
}

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == 0xA0 || c == 0xFEFF ||
         c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Non-ASCII letters are taken as identifier characters without consulting Unicode tables:
// the scanner only has to find where words end.
bool IsIdentStart(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'$' || c == u'_' ||
         c == u'\\' || (c >= 0x80 && !IsSpace(c) && !IsLineTerminator(c));
}

bool IsIdentPart(char16_t c) { return IsIdentStart(c) || IsDigit(c); }

// Keywords after which a slash starts a regular expression rather than a division.
bool IsRegexKeyword(const std::u16string& word) {
  static const char16_t* const kKeywords[] = {u"return", u"typeof", u"instanceof", u"in",
                                              u"of",     u"new",    u"delete",     u"void",
                                              u"throw",  u"case",   u"do",         u"else",
                                              u"yield",  u"await"};
  for (const char16_t* k : kKeywords) {
    if (word == k) return true;
  }
  return false;
}

struct Span {
  size_t begin = 0;
  size_t end = 0;
  NativeDeclaration declaration;
};

class Scanner {
 public:
  explicit Scanner(const std::u16string& s) : s_(s), n_(s.size()) {}

  std::vector<Span> Run() {
    while (pos_ < n_) Step();
    return std::move(spans_);
  }

 private:
  char16_t At(size_t i) const { return i < n_ ? s_[i] : 0; }

  void Step() {
    const char16_t c = s_[pos_];
    if (IsSpace(c) || IsLineTerminator(c)) {
      ++pos_;
    } else if (c == u'/' && At(pos_ + 1) == u'/') {
      pos_ = SkipLineComment(pos_);
    } else if (c == u'/' && At(pos_ + 1) == u'*') {
      pos_ = SkipBlockComment(pos_);
      if (pos_ == npos()) pos_ = n_;
    } else if (c == u'\'' || c == u'"') {
      pos_ = SkipString(pos_);
      Token(false);
    } else if (c == u'`') {
      ++pos_;
      ScanTemplateChars();
    } else if (c == u'{') {
      ++depth_;
      ++pos_;
      Token(true);
    } else if (c == u'}') {
      ++pos_;
      if (!templates_.empty() && templates_.back() == depth_) {
        templates_.pop_back();
        ScanTemplateChars();
      } else {
        --depth_;
        Token(true);
      }
    } else if (c == u'/') {
      size_t end = regex_allowed_ ? SkipRegex(pos_) : npos();
      if (end != npos()) {
        pos_ = end;
        Token(false);
      } else {
        ++pos_;
        Token(true);
      }
    } else if (IsDigit(c) || (c == u'.' && IsDigit(At(pos_ + 1)))) {
      while (pos_ < n_ && (IsIdentPart(s_[pos_]) || s_[pos_] == u'.')) ++pos_;
      Token(false);
    } else if (IsIdentStart(c)) {
      ScanWord();
    } else {
      ++pos_;
      Token(c != u')' && c != u']');
      after_dot_ = c == u'.';
    }
  }

  // Records the kind of the token just passed: whether a slash after it would start a
  // regular expression.
  void Token(bool regex_allowed) {
    regex_allowed_ = regex_allowed;
    after_dot_ = false;
  }

  static constexpr size_t npos() { return std::u16string::npos; }

  size_t SkipLineComment(size_t i) const {
    while (i < n_ && !IsLineTerminator(s_[i])) ++i;
    return i;
  }

  // Returns npos when the comment is not closed.
  size_t SkipBlockComment(size_t i) const {
    size_t close = s_.find(u"*/", i + 2);
    return close == npos() ? npos() : close + 2;
  }

  size_t SkipString(size_t i) const {
    const char16_t quote = s_[i++];
    while (i < n_) {
      const char16_t c = s_[i];
      if (c == u'\\') {
        // An escaped CR LF is one line continuation.
        i += (At(i + 1) == u'\r' && At(i + 2) == u'\n') ? 3 : 2;
      } else if (c == quote) {
        return i + 1;
      } else if (IsLineTerminator(c)) {
        return i;  // Unterminated: the script is broken, resume at the line end.
      } else {
        ++i;
      }
    }
    return n_;
  }

  // From just after a backtick or a substitution's closing brace: to the closing backtick, or
  // into the next substitution (code again until its matching brace).
  void ScanTemplateChars() {
    while (pos_ < n_) {
      const char16_t c = s_[pos_];
      if (c == u'\\') {
        pos_ += 2;
      } else if (c == u'`') {
        ++pos_;
        Token(false);
        return;
      } else if (c == u'$' && At(pos_ + 1) == u'{') {
        pos_ += 2;
        templates_.push_back(depth_);
        Token(true);
        return;
      } else {
        ++pos_;
      }
    }
    if (pos_ > n_) pos_ = n_;
  }

  // Returns the end of the literal (after its flags), or npos when the slash cannot start one
  // (the line ends first), in which case it is taken as a division.
  size_t SkipRegex(size_t i) const {
    bool in_class = false;
    for (++i; i < n_; ++i) {
      const char16_t c = s_[i];
      if (IsLineTerminator(c)) return npos();
      if (c == u'\\') {
        if (i + 1 >= n_ || IsLineTerminator(s_[i + 1])) return npos();
        ++i;
      } else if (c == u'[') {
        in_class = true;
      } else if (c == u']') {
        in_class = false;
      } else if (c == u'/' && !in_class) {
        ++i;
        while (i < n_ && IsIdentPart(s_[i])) ++i;
        return i;
      }
    }
    return npos();
  }

  size_t WordEnd(size_t i) const {
    if (i >= n_ || !IsIdentStart(s_[i])) return i;
    while (i < n_ && IsIdentPart(s_[i])) ++i;
    return i;
  }

  // Whitespace, line breaks and comments. Returns npos inside an unclosed comment.
  size_t SkipTrivia(size_t i, bool* saw_line_break) const {
    while (i < n_) {
      const char16_t c = s_[i];
      if (IsLineTerminator(c)) {
        if (saw_line_break) *saw_line_break = true;
        ++i;
      } else if (IsSpace(c)) {
        ++i;
      } else if (c == u'/' && At(i + 1) == u'/') {
        i = SkipLineComment(i);
      } else if (c == u'/' && At(i + 1) == u'*') {
        size_t end = SkipBlockComment(i);
        if (end == npos()) return npos();
        for (size_t k = i; k < end; ++k) {
          if (IsLineTerminator(s_[k]) && saw_line_break) *saw_line_break = true;
        }
        i = end;
      } else {
        break;
      }
    }
    return i;
  }

  // Reads an identifier at `i` (after trivia) into `out`; returns its end, or npos.
  size_t ReadIdentifier(size_t i, std::u16string* out) const {
    i = SkipTrivia(i, nullptr);
    if (i == npos()) return npos();
    size_t end = WordEnd(i);
    if (end == i) return npos();
    *out = s_.substr(i, end - i);
    return end;
  }

  void ScanWord() {
    const size_t start = pos_;
    pos_ = WordEnd(pos_);
    const std::u16string word = s_.substr(start, pos_ - start);
    if (word == u"native" && !after_dot_) {
      Span span;
      if (ParseDeclaration(start, &span)) {
        spans_.push_back(std::move(span));
        pos_ = spans_.back().end;
        Token(true);
        return;
      }
    }
    Token(IsRegexKeyword(word));
  }

  // `native function NAME(a, b);`, with trivia anywhere between the tokens; the semicolon may
  // be left to automatic insertion (a line break, a closing brace or the end of the text).
  bool ParseDeclaration(size_t start, Span* span) const {
    std::u16string word;
    size_t i = ReadIdentifier(start + 6, &word);
    if (i == npos() || word != u"function") return false;
    NativeDeclaration& d = span->declaration;
    i = ReadIdentifier(i, &d.name);
    if (i == npos()) return false;
    i = SkipTrivia(i, nullptr);
    if (i == npos() || At(i) != u'(') return false;
    i = SkipTrivia(i + 1, nullptr);
    if (i == npos()) return false;
    if (At(i) != u')') {
      for (;;) {
        std::u16string param;
        i = ReadIdentifier(i, &param);
        if (i == npos()) return false;
        d.params.push_back(std::move(param));
        i = SkipTrivia(i, nullptr);
        if (i == npos()) return false;
        if (At(i) == u')') break;
        if (At(i) != u',') return false;
        ++i;
      }
    }
    ++i;  // The closing parenthesis.
    bool line_break = false;
    size_t next = SkipTrivia(i, &line_break);
    if (next != npos() && At(next) == u';') {
      i = next + 1;
    } else if (!(next == n_ || (next != npos() && (line_break || At(next) == u'}')))) {
      return false;
    }
    span->begin = start;
    span->end = i;
    return true;
  }

  const std::u16string& s_;
  const size_t n_;
  size_t pos_ = 0;
  int depth_ = 0;                // Brace depth in code.
  std::vector<int> templates_;   // Brace depth at each open template substitution.
  bool regex_allowed_ = true;
  bool after_dot_ = false;
  std::vector<Span> spans_;
};

// Counts lines the way JavaScript does: CR LF is one line break.
int CountLineBreaks(const std::u16string& s, size_t begin, size_t end) {
  int lines = 0;
  for (size_t i = begin; i < end; ++i) {
    if (s[i] == u'\r' && i + 1 < end && s[i + 1] == u'\n') continue;
    if (IsLineTerminator(s[i])) ++lines;
  }
  return lines;
}

}  // namespace

RewrittenExtension RewriteNativeDeclarations(const std::u16string& source,
                                             const NativeBodyBuilder& body) {
  RewrittenExtension result;
  std::vector<Span> spans = Scanner(source).Run();
  size_t copied = 0;
  int line = 1;
  for (Span& span : spans) {
    line += CountLineBreaks(source, copied, span.begin);
    span.declaration.line = line;
    result.code.append(source, copied, span.begin - copied);
    result.code += u"function " + span.declaration.name + u"(";
    for (size_t k = 0; k < span.declaration.params.size(); ++k) {
      if (k) result.code += u",";
      result.code += span.declaration.params[k];
    }
    result.code += u"){" + (body ? body(span.declaration) : std::u16string()) + u"}";
    // The declaration's own line breaks follow, so later lines keep their numbers. A lone CR
    // becomes LF: next to a LF after the declaration it would pair up into one break.
    for (size_t k = span.begin; k < span.end; ++k) {
      const char16_t c = source[k];
      if (c == u'\r' && !(k + 1 < span.end && source[k + 1] == u'\n')) {
        result.code += u'\n';
      } else if (IsLineTerminator(c)) {
        result.code += c;
      }
    }
    line += CountLineBreaks(source, span.begin, span.end);
    copied = span.end;
    result.natives.push_back(std::move(span.declaration));
  }
  result.code.append(source, copied, std::u16string::npos);
  return result;
}

}  // namespace qvex_engine
