// DownloadNames: the download folder and safe, free-to-take file names. Any thread.
#include "browser/downloads/download_names.h"

#include <glib.h>

namespace qvex_engine {

namespace {

constexpr char kFallbackName[] = "download";
constexpr char kFallbackFolder[] = "Downloads";
// A longer tail after the last dot is not taken for an extension: it would crowd out the stem
// when the name is shortened.
constexpr size_t kMaxExtensionBytes = 32;

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// Characters that a file manager or a terminal shows as something else than they are:
// control characters, and format characters such as right-to-left overrides ("txt.exe").
bool IsHidden(gunichar c) {
  GUnicodeType type = g_unichar_type(c);
  return type == G_UNICODE_CONTROL || type == G_UNICODE_FORMAT;
}

// `text` cut to at most `max_bytes` bytes, on a character boundary (it is valid UTF-8).
std::string CutUtf8(const std::string& text, size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  size_t end = max_bytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

// Where the extension of a sanitised name starts (its dot), or npos.
size_t ExtensionStart(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0 || name.size() - dot > kMaxExtensionBytes)
    return std::string::npos;
  return dot;
}

// stem + middle + extension within kMaxNameBytes, the stem shortened as needed.
std::string Fit(const std::string& name, const std::string& middle) {
  size_t dot = ExtensionStart(name);
  std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
  std::string extension = dot == std::string::npos ? "" : name.substr(dot);
  const size_t room = DownloadNames::kMaxNameBytes - middle.size() - extension.size();
  return CutUtf8(stem, room) + middle + extension;
}

}  // namespace

std::string DownloadNames::Folder(const std::string& xdg_download, const std::string& home) {
  if (!xdg_download.empty()) {
    gchar* canonical = g_canonicalize_filename(xdg_download.c_str(), "/");
    gchar* canonical_home = g_canonicalize_filename(home.c_str(), "/");
    const bool is_home = g_strcmp0(canonical, canonical_home) == 0;
    std::string folder = canonical;
    g_free(canonical);
    g_free(canonical_home);
    if (!is_home) return folder;
  }
  return home + "/" + kFallbackFolder;
}

std::string DownloadNames::Sanitize(const std::string& suggested) {
  // Bytes first: separators and ASCII controls (NUL included) never occur inside a UTF-8
  // sequence, so they can go before the text is made valid.
  std::string bytes = suggested;
  for (char& c : bytes) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) c = '_';
  }
  gchar* valid = g_utf8_make_valid(bytes.data(), static_cast<gssize>(bytes.size()));
  std::string text;
  char last = 0;
  for (const gchar* p = valid; *p; p = g_utf8_next_char(p)) {
    gunichar c = g_utf8_get_char(p);
    if (IsHidden(c)) {
      text += '_';
      last = '_';
      continue;
    }
    if (c == '.' && last == '.') continue;  // ".." never reaches the name.
    text.append(p, g_utf8_next_char(p) - p);
    last = *p;
  }
  g_free(valid);
  size_t begin = 0;
  while (begin < text.size() && (text[begin] == '.' || IsSpace(text[begin]))) ++begin;
  size_t end = text.size();
  while (end > begin && IsSpace(text[end - 1])) --end;
  text = text.substr(begin, end - begin);
  if (text.empty()) return kFallbackName;
  return Fit(text, "");
}

std::string DownloadNames::Candidate(const std::string& name, int n) {
  if (n <= 0) return name;
  return Fit(name, " (" + std::to_string(n) + ")");
}

}  // namespace qvex_engine
