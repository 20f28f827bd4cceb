// CefString's text, held as UTF-8 or UTF-16, and the conversions between the two, keeping lone
// surrogates (as 3-byte sequences). Text goes through in blocks: runs of ASCII, the common
// case of documents and JSON, are widened, narrowed or checked sixteen (SSE2) or eight at a
// time.
#include "include/internal/cef_string.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr uint64_t kHighBits = 0x8080808080808080ull;
constexpr size_t kBlock = 4096;  // Units or bytes converted between appends.

// Appends to `out` through a small buffer, so no per-character capacity checks are made.
template <typename Unit>
class Appender {
 public:
  explicit Appender(std::basic_string<Unit>& out) : out_(out) {}
  ~Appender() { Flush(); }
  // Room for `n` (<= 16) more units.
  Unit* Reserve(size_t n) {
    if (used_ + n > kBlock) Flush();
    return buffer_ + used_;
  }
  void Commit(size_t n) { used_ += n; }
  void Push(Unit u) { *Reserve(1) = u, ++used_; }
  void Flush() {
    out_.append(buffer_, used_);
    used_ = 0;
  }

 private:
  std::basic_string<Unit>& out_;
  Unit buffer_[kBlock];
  size_t used_ = 0;
};

void AppendCodePoint(Appender<char16_t>& out, uint32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    char16_t* p = out.Reserve(2);
    p[0] = static_cast<char16_t>(0xD800 + (cp >> 10));
    p[1] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    out.Commit(2);
  } else {
    out.Push(static_cast<char16_t>(cp));
  }
}

void AppendCodePointUtf8(Appender<char>& out, uint32_t cp) {
  char* p = out.Reserve(4);
  size_t n;
  if (cp < 0x80) {
    p[0] = static_cast<char>(cp), n = 1;
  } else if (cp < 0x800) {
    p[0] = static_cast<char>(0xC0 | (cp >> 6));
    p[1] = static_cast<char>(0x80 | (cp & 0x3F));
    n = 2;
  } else if (cp < 0x10000) {
    p[0] = static_cast<char>(0xE0 | (cp >> 12));
    p[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    p[2] = static_cast<char>(0x80 | (cp & 0x3F));
    n = 3;
  } else {
    p[0] = static_cast<char>(0xF0 | (cp >> 18));
    p[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    p[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    p[3] = static_cast<char>(0x80 | (cp & 0x3F));
    n = 4;
  }
  out.Commit(n);
}

// The UTF-8 sequence at s[i], whose lead byte is beyond ASCII: its length, with its code point
// in `code_point`; 0 if it is not a whole sequence in its shortest form up to U+10FFFF (lone
// surrogates, as ToUtf8 writes them, are whole sequences).
int DecodeSequence(const unsigned char* s, size_t i, size_t n, uint32_t* code_point) {
  const unsigned char c = s[i];
  int len = 0;
  uint32_t cp = 0;
  uint32_t min = 0;
  if ((c & 0xE0) == 0xC0) {
    len = 2, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4, cp = c & 0x07, min = 0x10000;
  }
  if (len == 0 || i + len > n) return 0;
  for (int k = 1; k < len; ++k) {
    if ((s[i + k] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (s[i + k] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF) return 0;
  *code_point = cp;
  return len;
}

// True if `s` is exactly what ToUtf8 writes for some UTF-16 text, that is valid UTF-8 in its
// shortest form up to U+10FFFF, where surrogate code points may appear but never a high one
// right before a low one (ToUtf8 writes such a pair as one 4-byte sequence). Then `units` is
// the text's length in UTF-16 units, and `plain` tells that it holds no NUL and no surrogate.
bool ScanCanonicalUtf8(const unsigned char* s, size_t n, size_t* units, bool* plain) {
  size_t count = 0;
  bool nul = false;
  bool surrogate = false;
  bool after_high = false;  // The code point before was a high surrogate.
  size_t i = 0;
  while (i < n) {
#if defined(__SSE2__)
    if (i + 16 <= n) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
      if (_mm_movemask_epi8(chunk) == 0) {
        nul |= _mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_setzero_si128())) != 0;
        count += 16, i += 16, after_high = false;
        continue;
      }
    }
#endif
    const unsigned char c = s[i];
    if (c < 0x80) {
      nul |= c == 0;
      ++count, ++i, after_high = false;
      continue;
    }
    uint32_t cp = 0;
    const int len = DecodeSequence(s, i, n, &cp);
    if (len == 0) return false;
    if (cp >= 0xD800 && cp <= 0xDFFF) {
      if (cp >= 0xDC00 && after_high) return false;
      surrogate = true;
      after_high = cp <= 0xDBFF;
    } else {
      after_high = false;
    }
    count += cp >= 0x10000 ? 2 : 1;
    i += len;
  }
  *units = count;
  *plain = !nul && !surrogate;
  return true;
}

// The length of ToUtf8(in, n), in bytes.
size_t Utf8Length(const char16_t* in, size_t n) {
  size_t bytes = 0;
  size_t i = 0;
  while (i < n) {
#if defined(__SSE2__)
    if (i + 8 <= n) {
      const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
      const __m128i beyond = _mm_and_si128(units, _mm_set1_epi16(-0x80));
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(beyond, _mm_setzero_si128())) == 0xFFFF) {
        bytes += 8, i += 8;
        continue;
      }
    }
#endif
    const char16_t u = in[i];
    if (u < 0x80) {
      bytes += 1;
    } else if (u < 0x800) {
      bytes += 2;
    } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && in[i + 1] >= 0xDC00 &&
               in[i + 1] <= 0xDFFF) {
      bytes += 4, ++i;  // A pair is one 4-byte sequence.
    } else {
      bytes += 3;  // Lone surrogates too.
    }
    ++i;
  }
  return bytes;
}

const std::u16string& EmptyUtf16() {
  static const std::u16string kEmpty;
  return kEmpty;
}

}  // namespace

// Immutable, never empty text: UTF-8 (always as ToUtf8 would write it, so both forms say the
// same), in a string of its own or in bytes an owner keeps, with its UTF-16 made on first
// demand and kept; or UTF-16 alone, with no UTF-8.
class CefString::Text {
 public:
  Text(std::string utf8, size_t units, bool plain)
      : own_utf8_(std::move(utf8)), utf8_(own_utf8_), units_(units), plain_(plain) {}
  Text(std::string_view utf8, std::shared_ptr<const void> owner, size_t units)
      : owner_(std::move(owner)), utf8_(utf8), units_(units), plain_(false) {}
  explicit Text(std::u16string utf16)
      : utf16_(std::move(utf16)), units_(utf16_.size()), plain_(false) {}
  ~Text() { delete widened_.load(std::memory_order_acquire); }
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;

  bool held_as_utf8() const { return !utf8_.empty(); }
  size_t units() const { return units_; }
  std::string_view utf8() const { return utf8_; }
  // The UTF-8 in a string of its own without NUL or surrogates, else null.
  const std::string* plain() const { return plain_ ? &own_utf8_ : nullptr; }

  const std::u16string& Utf16() const {
    if (!held_as_utf8()) return utf16_;
    const std::u16string* wide = widened_.load(std::memory_order_acquire);
    if (wide) return *wide;
    // Two threads may both widen; one keeps its copy, the other drops its own.
    auto* made = new std::u16string(FromUtf8(utf8_.data(), utf8_.size()));
    if (widened_.compare_exchange_strong(wide, made, std::memory_order_acq_rel)) return *made;
    delete made;
    return *wide;
  }

 private:
  const std::string own_utf8_;
  const std::shared_ptr<const void> owner_;  // Keeps borrowed bytes alive.
  const std::string_view utf8_;              // Into own_utf8_ or the owner's bytes.
  const std::u16string utf16_;
  mutable std::atomic<const std::u16string*> widened_{nullptr};
  const size_t units_;
  const bool plain_;
};

CefString::CefString(std::string&& utf8) {
  if (utf8.empty()) return;
  size_t units = 0;
  bool plain = false;
  if (ScanCanonicalUtf8(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size(), &units,
                        &plain)) {
    text_ = std::make_shared<const Text>(std::move(utf8), units, plain);
  } else {
    text_ = std::make_shared<const Text>(FromUtf8(utf8));
  }
}

CefString CefString::FromUtf8Bytes(const char* utf8, size_t length,
                                   std::shared_ptr<const void> owner) {
  CefString result;
  if (length == 0) return result;
  size_t units = 0;
  bool plain = false;
  if (ScanCanonicalUtf8(reinterpret_cast<const unsigned char*>(utf8), length, &units, &plain)) {
    result.text_ =
        std::make_shared<const Text>(std::string_view(utf8, length), std::move(owner), units);
  } else {
    result.text_ = std::make_shared<const Text>(FromUtf8(utf8, length));
  }
  return result;
}

CefString::CefString(std::u16string&& utf16) {
  if (!utf16.empty()) text_ = std::make_shared<const Text>(std::move(utf16));
}

std::string CefString::ToString() const {
  if (!text_) return std::string();
  if (text_->held_as_utf8()) return std::string(text_->utf8());
  const std::u16string& units = text_->Utf16();
  return ToUtf8(units.data(), units.size());
}

const std::u16string& CefString::ToString16() const {
  return text_ ? text_->Utf16() : EmptyUtf16();
}

size_t CefString::length() const { return text_ ? text_->units() : 0; }

bool CefString::operator==(const CefString& o) const {
  if (text_ == o.text_) return true;
  if (!text_ || !o.text_) return false;
  // Each text has one UTF-8 form, so two held as UTF-8 compare as bytes.
  if (text_->held_as_utf8() && o.text_->held_as_utf8()) return text_->utf8() == o.text_->utf8();
  return ToString16() == o.ToString16();
}

void CefString::AppendUtf8To(std::string* out) const {
  if (!text_) return;
  if (text_->held_as_utf8()) {
    out->append(text_->utf8().data(), text_->utf8().size());
  } else {
    const std::u16string& units = text_->Utf16();
    AppendUtf8(units.data(), units.size(), out);
  }
}

const std::string* CefString::PlainUtf8() const {
  return text_ ? text_->plain() : nullptr;
}

std::u16string CefString::FromUtf8(const char* in, size_t n) {
  std::u16string out;
  out.reserve(n);  // Never more units than bytes.
  Appender<char16_t> appender(out);
  const auto* s = reinterpret_cast<const unsigned char*>(in);
  size_t i = 0;
  while (i < n) {
#if defined(__SSE2__)
    if (i + 16 <= n) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
      if (_mm_movemask_epi8(chunk) == 0) {
        char16_t* p = appender.Reserve(16);
        const __m128i zero = _mm_setzero_si128();
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_unpacklo_epi8(chunk, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 8), _mm_unpackhi_epi8(chunk, zero));
        appender.Commit(16);
        i += 16;
        continue;
      }
    }
#endif
    uint64_t word;
    if (i + 8 <= n && (std::memcpy(&word, s + i, 8), (word & kHighBits) == 0)) {
      char16_t* p = appender.Reserve(8);
      for (int k = 0; k < 8; ++k) p[k] = s[i + k];
      appender.Commit(8);
      i += 8;
      continue;
    }
    unsigned char c = s[i];
    if (c < 0x80) {
      appender.Push(c);
      ++i;
      continue;
    }
    uint32_t cp = 0;
    const int len = DecodeSequence(s, i, n, &cp);
    if (len == 0) {
      appender.Push(kReplacement);
      ++i;
      continue;
    }
    AppendCodePoint(appender, cp);  // Encoded surrogates come back as the same lone unit.
    i += len;
  }
  appender.Flush();
  return out;
}

std::string CefString::ToUtf8(const char16_t* in, size_t n) {
  std::string out;
  AppendUtf8(in, n, &out);
  return out;
}

void CefString::AppendUtf8(const char16_t* in, size_t n, std::string* target) {
  std::string& out = *target;
  // A long text gets exactly its room: a reservation that falls short by a byte makes the
  // string double, copying what it holds into twice the memory.
  out.reserve(out.size() + (n > kBlock ? Utf8Length(in, n) : n));
  Appender<char> appender(out);
  size_t i = 0;
  while (i < n) {
#if defined(__SSE2__)
    if (i + 16 <= n) {
      const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
      const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 8));
      const __m128i beyond = _mm_and_si128(_mm_or_si128(low, high), _mm_set1_epi16(-0x80));
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(beyond, _mm_setzero_si128())) == 0xFFFF) {
        char* p = appender.Reserve(16);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(low, high));
        appender.Commit(16);
        i += 16;
        continue;
      }
    }
#endif
    if (i + 8 <= n) {
      uint16_t any = 0;
      for (int k = 0; k < 8; ++k) any |= in[i + k];
      if (any < 0x80) {
        char* p = appender.Reserve(8);
        for (int k = 0; k < 8; ++k) p[k] = static_cast<char>(in[i + k]);
        appender.Commit(8);
        i += 8;
        continue;
      }
    }
    uint32_t u = in[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    }
    AppendCodePointUtf8(appender, u);
    ++i;
  }
  appender.Flush();
}

CefString::CefString(const std::wstring& wide) {
  std::u16string units;
  {
    Appender<char16_t> appender(units);
    for (wchar_t w : wide) {
      uint32_t cp = static_cast<uint32_t>(w);
      AppendCodePoint(appender, cp > 0x10FFFF ? kReplacement : cp);
    }
  }
  *this = CefString(std::move(units));
}

std::wstring CefString::ToWString() const {
  const std::u16string& s = ToString16();
  std::wstring out;
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t u = s[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    out.push_back(static_cast<wchar_t>(u));
  }
  return out;
}
