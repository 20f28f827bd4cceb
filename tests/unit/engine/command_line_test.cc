// Tests of CefCommandLine's parsing of argv.
#include "include/cef_command_line.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLineTest, SplitsSwitchesFromArguments) {
  const char* argv[] = {"/opt/qvexdesk", "--url=http://a/?x=1&y=2", "-v", "--type=renderer",
                        "page.html", "--enable-chrome-runtime", "--", "--not-a-switch", nullptr};
  CefRefPtr<CefCommandLine> cl = CefCommandLine::CreateCommandLine();
  cl->InitFromArgv(8, argv);
  EXPECT_EQ(cl->GetProgram().ToString(), "/opt/qvexdesk");
  EXPECT_EQ(cl->GetSwitchValue("url").ToString(), "http://a/?x=1&y=2");  // First '=' splits.
  EXPECT_TRUE(cl->HasSwitch("v"));                                       // One dash works too.
  EXPECT_EQ(cl->GetSwitchValue("type").ToString(), "renderer");
  EXPECT_TRUE(cl->HasSwitch("enable-chrome-runtime"));
  EXPECT_TRUE(cl->GetSwitchValue("enable-chrome-runtime").empty());
  EXPECT_FALSE(cl->HasSwitch("not-a-switch"));  // After "--" everything is an argument.
  CefCommandLine::ArgumentList args;
  cl->GetArguments(args);
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[0].ToString(), "page.html");
  EXPECT_EQ(args[1].ToString(), "--not-a-switch");
}

TEST(CommandLineTest, ToleratesEmptyAndOddInput) {
  CefRefPtr<CefCommandLine> cl = CefCommandLine::CreateCommandLine();
  cl->InitFromArgv(0, nullptr);  // No argv at all.
  EXPECT_FALSE(cl->HasSwitches());
  EXPECT_TRUE(cl->GetProgram().empty());

  const char* argv[] = {"p", nullptr, "-", "--=x", "--a=", nullptr};
  cl->InitFromArgv(5, argv);  // A null word is skipped; "-" alone is an argument.
  EXPECT_TRUE(cl->HasSwitch("a"));
  EXPECT_TRUE(cl->GetSwitchValue("a").empty());
  CefCommandLine::ArgumentList args;
  cl->GetArguments(args);
  ASSERT_EQ(args.size(), 1u);
  EXPECT_EQ(args[0].ToString(), "-");

  cl->InitFromArgv(1, argv);  // Parsing again starts afresh.
  EXPECT_FALSE(cl->HasSwitches());
}

}  // namespace
