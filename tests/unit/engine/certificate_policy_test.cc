// Which hosts a URL names as loopback.
#include "browser/network/certificate_policy.h"

#include <gtest/gtest.h>

namespace qvex_engine {
namespace {

TEST(CertificatePolicyTest, LoopbackOnlyByWhatTheUrlSays) {
  const struct {
    const char* host;
    bool loopback;
  } kCases[] = {
      {"localhost", true},
      {"LocalHost", true},
      {"127.0.0.1", true},
      {"127.255.3.9", true},      // all of 127.0.0.0/8
      {"[::1]", true},
      {"::1", true},              // GLib gives IPv6 hosts without brackets
      {"[0:0:0:0:0:0:0:1]", true},
      {"128.0.0.1", false},
      {"10.0.0.1", false},
      {"0.0.0.0", false},         // any address, not loopback
      {"vm", false},              // a name, whatever /etc/hosts maps it to
      {"localhost.example.org", false},
      {"localhost.", false},      // resolved by DNS, not the literal name
      {"127.0.0.1.example.org", false},
      {"[::ffff:127.0.0.1]", false},  // a mapped address is an IPv6 name of an IPv4 host
      {"[::2]", false},
      {"", false},
      {"[]", false},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(CertificatePolicy::IsLoopbackHost(c.host), c.loopback) << c.host;
}

}  // namespace
}  // namespace qvex_engine
