// Tests for FileIo::ReadAllBytes: whole content, and error texts in place of it.
#include "util/FileIo.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

class FileIoTest : public testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/fileio_test_XXXXXX";
    dir_ = mkdtemp(name);
    cwd_ = fs::current_path();
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(cwd_);
    fs::remove_all(dir_);
  }
  void Write(const std::string& name, const std::string& content) {
    std::ofstream(dir_ / name, std::ios::binary) << content;
  }

  fs::path dir_, cwd_;
};

TEST_F(FileIoTest, ReadsWholeContent) {
  std::string binary;
  for (int i = 0; i < 256; ++i)
    binary += static_cast<char>(i);
  binary += "\0\0tail"s;  // NULs must not end the content.
  Write("bin", binary);
  Write("empty", "");
  Write("text.js", "alert(1);\n");
  fs::create_directory(dir_ / "sub");
  EXPECT_EQ(FileIo::ReadAllBytes("bin"), binary);
  EXPECT_EQ(FileIo::ReadAllBytes("empty"), "");
  EXPECT_EQ(FileIo::ReadAllBytes((dir_ / "text.js").string()), "alert(1);\n");
  EXPECT_EQ(FileIo::ReadAllBytes("./sub/../text.js"), "alert(1);\n");
}

TEST_F(FileIoTest, FailuresComeBackAsText) {
  fs::create_directory(dir_ / "sub");
  const std::string prefix = "File Can't open ";
  // Missing: the absolute path, not normalised.
  EXPECT_EQ(FileIo::ReadAllBytes("x.js"), prefix + (dir_ / "x.js").string());
  EXPECT_EQ(FileIo::ReadAllBytes("sub/../x.js"), prefix + (dir_ / "sub/../x.js").string());
  // A directory opens as a stream but has no content to give.
  EXPECT_EQ(FileIo::ReadAllBytes("sub"), prefix + (dir_ / "sub").string());
  // An empty name cannot be made absolute: the file-system error's own text.
  const std::string empty = FileIo::ReadAllBytes("");
  EXPECT_FALSE(empty.empty());
  EXPECT_EQ(empty.find(prefix), std::string::npos);
  if (geteuid() != 0) {  // Root reads anything.
    Write("locked", "secret");
    fs::permissions(dir_ / "locked", fs::perms::none);
    EXPECT_EQ(FileIo::ReadAllBytes("locked"), prefix + (dir_ / "locked").string());
  }
}

}  // namespace
