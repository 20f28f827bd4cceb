// ProgramInfo: which command lines are answered with the version or the usage, and that a
// failed write is reported as a failure.
#include "app/commands/program_info.h"

#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace {

int Answer(std::vector<const char*> args, std::string* printed) {
  args.insert(args.begin(), "qvexdesk");
  std::ostringstream out;
  int status = ProgramInfo::Answer(static_cast<int>(args.size()), args.data(), out);
  *printed = out.str();
  return status;
}

// A standard output that refuses every byte, as a full disk or a closed pipe does.
class FullBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST(ProgramInfoTest, AnswersVersionAndHelpAnywhereOnTheCommandLine) {
  const std::string version = ProgramInfo::VersionText() + "\n";
  const std::string usage = ProgramInfo::UsageText();
  const struct {
    std::vector<const char*> args;
    const std::string* expected;
  } kCases[] = {
      {{"--version"}, &version},
      {{"--help"}, &usage},
      {{"--url=http://127.0.0.1/", "--version"}, &version},  // after another switch
      {{"--version", "--help"}, &usage},                     // help wins, in either order
      {{"--help", "--version"}, &usage},
      {{"-version"}, &version},   // one dash, as every switch of the shell may be written
      {{"--help=yes"}, &usage},   // a value does not hide the switch
  };
  for (const auto& c : kCases) {
    std::string printed;
    EXPECT_EQ(Answer(c.args, &printed), 0) << c.args[0];
    EXPECT_EQ(printed, *c.expected) << c.args[0];
  }
}

TEST(ProgramInfoTest, LeavesOtherCommandLinesToTheShell) {
  const std::vector<const char*> kCases[] = {
      {},
      {"--url=http://127.0.0.1/?version"},  // the word inside a value is no switch
      {"--enable-chrome-runtime"},
      {"version"},                          // an argument, not a switch
      {"--", "--version"},                  // after "--" only arguments follow
      {"--versions"},
  };
  for (const auto& args : kCases) {
    std::string printed;
    EXPECT_EQ(Answer(args, &printed), -1) << (args.empty() ? "(none)" : args[0]);
    EXPECT_EQ(printed, "");
  }
}

TEST(ProgramInfoTest, AFailedWriteIsAFailure) {
  FullBuffer full;
  std::ostream out(&full);
  const char* help[] = {"qvexdesk", "--help"};
  EXPECT_EQ(ProgramInfo::Answer(2, help, out), 1);
  std::ostream out2(&full);
  const char* version[] = {"qvexdesk", "--version"};
  EXPECT_EQ(ProgramInfo::Answer(2, version, out2), 1);
}

}  // namespace
