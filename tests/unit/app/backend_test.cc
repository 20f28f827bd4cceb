// The backend's key, port, output and --check's reading of its command.
#include "app/backend/backend.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "app/backend/backend_output.h"
#include "app/backend/backend_port.h"
#include "app/backend/backend_config.h"
#include "app/commands/backend_check.h"
#include "app/project_file.h"

namespace {

std::string MakeDir() {
  char dir[] = "/tmp/qvex-backend-XXXXXX";
  return mkdtemp(dir);
}

TEST(BackendConfigTest, ReadsGoodValuesAndNamesEachFault) {
  const struct {
    const char* backend;  // The value of "backend".
    bool present;
    const char* fault;  // Part of the one error reported; "" for none.
  } kCases[] = {
      {R"({"command": "python3 s.py {port}"})", true, ""},
      {R"({"command": "x", "cwd": "srv", "ready": "http://127.0.0.1:{port}/up", "timeout": 2.5})",
       true, ""},
      {R"("python3 s.py")", false, "is a string, not an object"},
      {R"({})", false, "has no \"command\""},
      {R"({"command": "  "})", false, "\"command\" is empty"},
      {R"({"command": 3})", false, "\"command\" is a number, not a string"},
      {R"({"command": "x", "timeout": 0})", false, "not a positive number"},
      {R"({"command": "x", "timeout": "30"})", false, "a string, not a number"},
      {R"({"command": "x", "cwd": "/srv"})", false, "is absolute"},
      {R"({"command": "x", "ready": []})", false, "\"ready\" is an array, not a string"},
  };
  for (const auto& c : kCases) {
    const ProjectFile file =
        ProjectFile::FromText("/p", std::string(R"({"backend": )") + c.backend + "}");
    const BackendConfig config = BackendConfig::From(file);
    EXPECT_TRUE(config.given()) << c.backend;
    EXPECT_EQ(config.present(), c.present) << c.backend;
    std::string errors;
    for (const auto& p : file.problems()) {
      if (p.error) errors += p.message + "|";
    }
    if (*c.fault) {
      EXPECT_NE(errors.find(c.fault), std::string::npos) << c.backend << ": " << errors;
      EXPECT_NE(errors.find("runs without its backend"), std::string::npos) << errors;
    } else {
      EXPECT_EQ(errors, "") << c.backend;
    }
  }
  const BackendConfig config = BackendConfig::From(ProjectFile::FromText(
      "/p", R"({"backend": {"command": "x", "cwd": "srv", "timeout": 2.5}})"));
  EXPECT_EQ(config.directory(), "/p/srv");
  EXPECT_EQ(config.timeout_seconds(), 2.5);
  EXPECT_FALSE(BackendConfig::From(ProjectFile::FromText("/p", "{}")).given());
}

TEST(BackendConfigTest, PortGoesIntoEveryMark) {
  EXPECT_EQ(BackendConfig::WithPort("a {port} b {port}", 8080), "a 8080 b 8080");
  EXPECT_EQ(BackendConfig::WithPort("{port", 1), "{port");
  const BackendConfig config = BackendConfig::From(
      ProjectFile::FromText("/p", R"({"backend": {"command": "serve"}})"));
  EXPECT_FALSE(config.wants_port("http://127.0.0.1:8000/"));
  EXPECT_TRUE(config.wants_port("http://127.0.0.1:{port}/"));
}

TEST(BackendOutputTest, LinesOfBothStreamsAreKeptEscapedAndCut) {
  BackendOutput output;
  output.Feed(BackendOutput::kStdout, "one\ntw", 6);
  output.Feed(BackendOutput::kStderr, "err\r\n", 5);
  output.Feed(BackendOutput::kStdout, "o\tx\n", 4);
  EXPECT_EQ(output.LastLines(), "one\nerr\ntwo\\tx\n");
  // A line far longer than the log takes: only its start is held, and the cut says its size.
  const std::string chunk(1 << 20, 'y');
  for (int i = 0; i < 8; ++i) output.Feed(BackendOutput::kStdout, chunk.data(), chunk.size());
  output.Flush();
  const std::string last = output.LastLines();
  EXPECT_NE(last.find("(cut: 8388608 bytes in all)"), std::string::npos);
  EXPECT_LT(last.size(), 6000u);
  for (int i = 0; i < 60; ++i) output.Feed(BackendOutput::kStdout, "line\n", 5);
  std::string expected;
  for (size_t i = 0; i < BackendOutput::kKeptLines; ++i) expected += "line\n";
  EXPECT_EQ(output.LastLines(), expected);
  EXPECT_EQ(BackendOutput::LogText(BackendOutput::kStderr, "a\x1b", 0), "stderr: a\\x1b");
}

TEST(BackendPortTest, TheLastPortIsKeptWhileFree) {
  const std::string memory = MakeDir() + "/state/ports/proj";
  std::string why;
  const int first = BackendPort::Choose(memory, &why);
  ASSERT_GT(first, 0) << why;
  EXPECT_EQ(BackendPort::Choose(memory, &why), first);
  // Taken by someone else: another one, remembered from then on.
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(first));
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(listen(fd, 1), 0);
  EXPECT_FALSE(BackendPort::IsFree(first));
  const int second = BackendPort::Choose(memory, &why);
  EXPECT_NE(second, first);
  close(fd);
  EXPECT_EQ(BackendPort::Choose(memory, &why), second);
  EXPECT_EQ(BackendPort::FileNameFor("/opt/my app"), "%2Fopt%2Fmy%20app");
  EXPECT_EQ(BackendPort::FileNameFor(".."), "_..");
}

TEST(BackendCheckTest, TheCommandsProgram) {
  const struct {
    const char* command;
    const char* program;
  } kCases[] = {
      {"python3 server.py {port}", "python3"},
      {"exec ./serve --port {port}", "./serve"},
      {"PORT={port} DEBUG=1 node app.js", "node"},
      {"'my server' -x", "my server"},
      {"cd srv && python3 s.py", ""},
      {"$SERVER", ""},
      {"", ""},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(BackendCheck::FirstProgram(c.command), c.program) << c.command;
  const std::string dir = MakeDir();
  std::ofstream(dir + "/plain") << "#!/bin/sh\n";
  std::string why;
  EXPECT_EQ(BackendCheck::FindProgram("./plain", dir, &why), dir + "/./plain");
  EXPECT_EQ(why, "is not executable");
  EXPECT_EQ(BackendCheck::FindProgram("./none", dir, &why), "");
  EXPECT_NE(BackendCheck::FindProgram("sh", dir, &why), "");
}

TEST(BackendTest, EndsAreTold) {
  EXPECT_EQ(Backend::DescribeEnd(3 << 8), "ended with status 3");
  EXPECT_EQ(Backend::DescribeEnd(SIGKILL), "was ended by signal 9 (SIGKILL)");
}

}  // namespace
