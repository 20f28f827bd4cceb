// ClipboardText: the message that carries text for the desktop's clipboard from the web process
// to the UI process, which owns the selection. Short texts travel in the message; long ones in a
// sealed memory file whose descriptor goes with it, so that the text is written once by the
// sender and mapped, not copied, by the receiver. Encode on the renderer thread, decode on the UI
// thread; the objects are not shared between threads.
#ifndef QVEX_ENGINE_COMMON_CLIPBOARD_TEXT_H_
#define QVEX_ENGINE_COMMON_CLIPBOARD_TEXT_H_

#include <gio/gunixfdlist.h>
#include <glib.h>

#include <cstddef>
#include <string>

namespace qvex_engine {

class ClipboardText {
 public:
  static constexpr char kMessageName[] = "qvex-engine:clipboard-text";
  // Texts from this size on go in a memory file.
  static constexpr size_t kInlineLimit = 64 * 1024;

  // The message's parameters for `text` (a floating GVariant); `*fds` is set to a new fd list
  // for a long text and to null for a short one. False (and nothing to free) when the memory
  // file could not be made; `*error` then says why.
  static bool Encode(const std::string& text, GVariant** parameters, GUnixFDList** fds,
                     std::string* error);

  ClipboardText() = default;
  ~ClipboardText();
  ClipboardText(const ClipboardText&) = delete;
  ClipboardText& operator=(const ClipboardText&) = delete;

  // Reads a message's parameters and fd list (may be null). False, with `*error` saying why,
  // for a layout that is not this message's, a memory file that is not sealed against writes
  // and resizing (its owner could change it or cut it short under the mapping), or text that
  // is not UTF-8.
  bool Decode(GVariant* parameters, GUnixFDList* fds, std::string* error);

  const char* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  std::string inline_;
  const char* data_ = "";
  size_t size_ = 0;
  void* mapping_ = nullptr;  // munmap'd with the object.
  size_t mapped_size_ = 0;
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_COMMON_CLIPBOARD_TEXT_H_
