// Tests of the port's own process messages: each type survives the wire, and what does not fit
// its layout does not decode.
#include "common/engine_messages.h"

#include <gtest/gtest.h>

#include <string>

#include "common/process_message_impl.h"

namespace qvex_engine {
namespace engine_messages {
namespace {

// The message as the other process reads it, frame identifier and all.
CefRefPtr<CefProcessMessage> OverTheWire(CefRefPtr<CefProcessMessage> message) {
  GVariant* sent = g_variant_ref_sink(FrameMessageToVariant(7, message->GetArgumentList()));
  int64_t frame_id = 0;
  CefRefPtr<CefProcessMessage> got =
      FrameMessageFromVariant(message->GetName().ToString(), sent, &frame_id);
  g_variant_unref(sent);
  EXPECT_EQ(frame_id, 7);
  return got;
}

TEST(EngineMessagesTest, EveryTypeRoundTrips) {
  const std::u16string odd(u"a\0b\xD800" u"c", 5);  // NUL and a lone surrogate.
  FrameCommitted c;
  ASSERT_TRUE(Decode(OverTheWire(Encode(FrameCommitted{int64_t{1} << 40, "n", "u", true})), &c));
  EXPECT_TRUE(c.parent_id == int64_t{1} << 40 && c.name == "n" && c.url == "u" && c.is_load);
  FrameLoaded l;
  ASSERT_TRUE(Decode(OverTheWire(Encode(FrameLoaded{"http://h/x"})), &l));
  EXPECT_EQ(l.url, "http://h/x");
  FrameNavigating n;
  ASSERT_TRUE(Decode(OverTheWire(Encode(FrameNavigating{"http://h/y", true})), &n));
  EXPECT_TRUE(n.url == "http://h/y" && n.redirect);
  Execute e;
  ASSERT_TRUE(Decode(OverTheWire(Encode(Execute{odd, "http://h/s.js", -4})), &e));
  EXPECT_TRUE(e.code.ToString16() == odd && e.script_url == "http://h/s.js" && e.start_line == -4);
  LoadUrl u;
  ASSERT_TRUE(Decode(OverTheWire(Encode(LoadUrl{odd})), &u));
  EXPECT_EQ(u.url.ToString16(), odd);
  FrameDetached d;
  MainDocumentParsed p;
  Stop s;
  Settle settle;
  EXPECT_TRUE(Decode(OverTheWire(Encode(FrameDetached{})), &d) &&
              Decode(OverTheWire(Encode(MainDocumentParsed{})), &p) &&
              Decode(OverTheWire(Encode(Stop{})), &s) &&
              Decode(OverTheWire(Encode(Settle{})), &settle));
  EXPECT_FALSE(Decode(Encode(Stop{}), &settle) || Decode(Encode(Settle{}), &s));
  // A name decodes as its own type only.
  EXPECT_FALSE(Decode(Encode(Stop{}), &d) || Decode(Encode(FrameDetached{}), &p) ||
               Decode(Encode(FrameLoaded{"u"}), &u) || Decode(nullptr, &e));
}

TEST(EngineMessagesTest, OtherLayoutsDoNotDecode) {
  struct {
    const char* why;
    void (*change)(CefRefPtr<CefListValue>);
  } cases[] = {
      {"an argument short", [](CefRefPtr<CefListValue> a) { a->SetSize(3); }},
      {"an argument more", [](CefRefPtr<CefListValue> a) { a->SetInt(4, 1); }},
      {"a flag given as a number", [](CefRefPtr<CefListValue> a) { a->SetInt(3, 1); }},
      {"a parent that is no number", [](CefRefPtr<CefListValue> a) { a->SetString(0, "12x"); }},
      {"a parent below zero", [](CefRefPtr<CefListValue> a) { a->SetString(0, "-1"); }},
  };
  for (const auto& c : cases) {
    CefRefPtr<CefProcessMessage> message = Encode(FrameCommitted{1, "n", "u", false});
    c.change(message->GetArgumentList());
    FrameCommitted out;
    EXPECT_FALSE(Decode(message, &out)) << c.why;
  }
}

}  // namespace
}  // namespace engine_messages
}  // namespace qvex_engine
