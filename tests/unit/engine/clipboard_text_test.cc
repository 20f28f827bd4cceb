// The clipboard text message: both ways of carrying the text, and what the receiver refuses.
#include "common/clipboard_text.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

namespace qvex_engine {
namespace {

std::string RoundTrip(const std::string& text, bool* in_file) {
  GVariant* parameters = nullptr;
  GUnixFDList* fds = nullptr;
  std::string error;
  EXPECT_TRUE(ClipboardText::Encode(text, &parameters, &fds, &error)) << error;
  g_variant_ref_sink(parameters);
  *in_file = fds != nullptr;
  ClipboardText decoded;
  EXPECT_TRUE(decoded.Decode(parameters, fds, &error)) << error;
  g_variant_unref(parameters);
  if (fds) g_object_unref(fds);
  return std::string(decoded.data(), decoded.size());
}

TEST(ClipboardTextTest, ShortTextsInTheMessageLongOnesInASealedFile) {
  bool in_file = true;
  EXPECT_EQ(RoundTrip("", &in_file), "");
  EXPECT_FALSE(in_file);
  EXPECT_EQ(RoundTrip("caf\u00e9 <&>", &in_file), "caf\u00e9 <&>");
  EXPECT_FALSE(in_file);
  const std::string long_text = "\u00e9" + std::string(ClipboardText::kInlineLimit, 'x');
  EXPECT_EQ(RoundTrip(long_text, &in_file), long_text);
  EXPECT_TRUE(in_file);
}

// A file its sender can still write or truncate could change (or fault) under the mapping.
TEST(ClipboardTextTest, RefusesUnsealedFilesForeignLayoutsAndBytesThatAreNotUtf8) {
  auto file_message = [](const std::string& bytes, int seals, GUnixFDList** fds) {
    int fd = memfd_create("test", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    if (seals) fcntl(fd, F_ADD_SEALS, seals);
    *fds = g_unix_fd_list_new_from_array(&fd, 1);  // Takes the descriptor.
    return g_variant_ref_sink(g_variant_new("(sb)", "", TRUE));
  };
  const struct {
    const char* why;
    std::string bytes;
    int seals;
  } kCases[] = {
      {"not sealed", "text", 0},
      {"still writable", "text", F_SEAL_SHRINK | F_SEAL_GROW},
      {"not UTF-8", "\xff\xfe", F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE},
  };
  for (const auto& c : kCases) {
    GUnixFDList* fds = nullptr;
    GVariant* parameters = file_message(c.bytes, c.seals, &fds);
    ClipboardText decoded;
    std::string error;
    EXPECT_FALSE(decoded.Decode(parameters, fds, &error)) << c.why;
    EXPECT_FALSE(error.empty()) << c.why;
    g_variant_unref(parameters);
    g_object_unref(fds);
  }
  ClipboardText decoded;
  std::string error;
  GVariant* wrong = g_variant_ref_sink(g_variant_new("(s)", "text"));
  EXPECT_FALSE(decoded.Decode(wrong, nullptr, &error));
  g_variant_unref(wrong);
  GVariant* no_file = g_variant_ref_sink(g_variant_new("(sb)", "", TRUE));
  EXPECT_FALSE(decoded.Decode(no_file, nullptr, &error));
  g_variant_unref(no_file);
}

}  // namespace
}  // namespace qvex_engine
