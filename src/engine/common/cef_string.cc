// UTF-8 <-> UTF-16 conversion for CefString, keeping lone surrogates (as 3-byte sequences).
// Text goes through in blocks: runs of ASCII, the common case of documents and JSON, are
// widened or narrowed sixteen (SSE2) or eight at a time.
#include "include/internal/cef_string.h"

#include <cstdint>
#include <cstring>

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

}  // namespace

const std::u16string& CefString::Empty() {
  static const std::u16string kEmpty;
  return kEmpty;
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
    bool ok = len > 0 && i + len <= n;
    for (int k = 1; ok && k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) ok = false;
      else cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (!ok || cp < min || cp > 0x10FFFF) {
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
  out.reserve(out.size() + n);  // Exact for ASCII.
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
