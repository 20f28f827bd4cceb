// ClipboardText: text for the clipboard, in the message or in a sealed memory file.
#include "common/clipboard_text.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace qvex_engine {

namespace {

constexpr int kSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL;

std::string Errno(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// g_utf8_validate, with runs of ASCII (most of any long text) checked eight bytes at a time.
bool IsUtf8(const char* data, size_t size) {
  constexpr uint64_t kHighBits = 0x8080808080808080ull;
  size_t i = 0;
  while (i < size) {
    uint64_t word;
    if (i + 8 <= size && (std::memcpy(&word, data + i, 8), (word & kHighBits) == 0)) {
      i += 8;
      continue;
    }
    if (static_cast<unsigned char>(data[i]) < 0x80) {
      ++i;
      continue;
    }
    const gchar* end = nullptr;
    // One character beyond ASCII at most four bytes long: validate it alone.
    const size_t span = size - i < 4 ? size - i : 4;
    g_utf8_validate_len(data + i, span, &end);
    if (end == data + i) return false;
    i = static_cast<size_t>(end - data);
  }
  return true;
}

}  // namespace

// Layout: (text, has a file): the text is empty when the file holds it (fd list index 0).
bool ClipboardText::Encode(const std::string& text, GVariant** parameters, GUnixFDList** fds,
                           std::string* error) {
  *fds = nullptr;
  if (text.size() < kInlineLimit) {
    *parameters = g_variant_new("(sb)", text.c_str(), FALSE);
    return true;
  }
  int fd = memfd_create("qvex-clipboard", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (fd < 0) {
    *error = Errno("memfd_create");
    return false;
  }
  if (!WriteAll(fd, text.data(), text.size()) || fcntl(fd, F_ADD_SEALS, kSeals) != 0) {
    *error = Errno("writing the clipboard's memory file");
    close(fd);
    return false;
  }
  GError* gerror = nullptr;
  GUnixFDList* list = g_unix_fd_list_new();
  g_unix_fd_list_append(list, fd, &gerror);  // Duplicates the descriptor.
  close(fd);
  if (gerror) {
    *error = gerror->message;
    g_error_free(gerror);
    g_object_unref(list);
    return false;
  }
  *fds = list;
  *parameters = g_variant_new("(sb)", "", TRUE);
  return true;
}

ClipboardText::~ClipboardText() {
  if (mapping_) munmap(mapping_, mapped_size_);
}

bool ClipboardText::Decode(GVariant* parameters, GUnixFDList* fds, std::string* error) {
  if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sb)"))) {
    *error = "not a clipboard text message";
    return false;
  }
  const gchar* text = nullptr;
  gboolean in_file = FALSE;
  g_variant_get(parameters, "(&sb)", &text, &in_file);
  if (!in_file) {
    inline_ = text;
    data_ = inline_.data();
    size_ = inline_.size();
    return true;
  }
  if (!fds || g_unix_fd_list_get_length(fds) != 1) {
    *error = "no memory file with the text";
    return false;
  }
  int fd = g_unix_fd_list_get(fds, 0, nullptr);  // A duplicate of ours to close.
  if (fd < 0) {
    *error = "the memory file could not be taken";
    return false;
  }
  struct stat st;
  const int seals = fcntl(fd, F_GET_SEALS);
  bool ok = false;
  if (seals < 0 || (seals & (F_SEAL_SHRINK | F_SEAL_WRITE)) != (F_SEAL_SHRINK | F_SEAL_WRITE)) {
    *error = "the memory file is not sealed";
  } else if (fstat(fd, &st) != 0 || st.st_size <= 0) {
    *error = Errno("fstat");
  } else {
    mapped_size_ = static_cast<size_t>(st.st_size);
    // Populated at once: the text is read whole right away (checked, then served).
    void* mapping = mmap(nullptr, mapped_size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (mapping == MAP_FAILED) {
      *error = Errno("mmap");
    } else {
      mapping_ = mapping;
      data_ = static_cast<const char*>(mapping);
      size_ = mapped_size_;
      ok = true;
    }
  }
  close(fd);
  if (ok && !IsUtf8(data_, size_)) {
    *error = "the text is not UTF-8";
    ok = false;
  }
  return ok;
}

}  // namespace qvex_engine
