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
  FrameCommitted committed;
  ASSERT_TRUE(Decode(OverTheWire(Encode(FrameCommitted{(int64_t{1} << 40) + 3, "n", "u", true})),
                     &committed));
  EXPECT_EQ(committed.parent_id, (int64_t{1} << 40) + 3);
  EXPECT_EQ(committed.name + committed.url, "nu");
  EXPECT_TRUE(committed.is_load);
  FrameLoaded loaded;
  ASSERT_TRUE(Decode(OverTheWire(Encode(FrameLoaded{"http://h/x"})), &loaded));
  EXPECT_EQ(loaded.url, "http://h/x");
  FrameNavigating navigating;
  ASSERT_TRUE(Decode(OverTheWire(Encode(FrameNavigating{"http://h/y", true})), &navigating));
  EXPECT_EQ(navigating.url, "http://h/y");
  EXPECT_TRUE(navigating.redirect);
  Execute execute;
  ASSERT_TRUE(Decode(OverTheWire(Encode(Execute{odd, "http://h/s.js", -4})), &execute));
  EXPECT_EQ(execute.code.ToString16(), odd);
  EXPECT_EQ(execute.script_url.ToString(), "http://h/s.js");
  EXPECT_EQ(execute.start_line, -4);
  LoadUrl load_url;
  ASSERT_TRUE(Decode(OverTheWire(Encode(LoadUrl{odd})), &load_url));
  EXPECT_EQ(load_url.url.ToString16(), odd);
  FrameDetached detached;
  MainDocumentParsed parsed;
  Stop stop;
  EXPECT_TRUE(Decode(OverTheWire(Encode(FrameDetached{})), &detached));
  EXPECT_TRUE(Decode(OverTheWire(Encode(MainDocumentParsed{})), &parsed));
  EXPECT_FALSE(Decode(Encode(FrameDetached{}), &parsed));
  EXPECT_TRUE(Decode(OverTheWire(Encode(Stop{})), &stop));
  // Each name decodes as its own type only.
  EXPECT_FALSE(Decode(Encode(Stop{}), &detached));
  EXPECT_FALSE(Decode(Encode(FrameLoaded{"u"}), &load_url));
  EXPECT_TRUE(IsEngineMessage(kExecute));
  EXPECT_FALSE(IsEngineMessage("qvex-engine"));
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
      {"an empty parent", [](CefRefPtr<CefListValue> a) { a->SetString(0, ""); }},
  };
  for (const auto& c : cases) {
    CefRefPtr<CefProcessMessage> message = Encode(FrameCommitted{1, "n", "u", false});
    c.change(message->GetArgumentList());
    FrameCommitted out;
    EXPECT_FALSE(Decode(message, &out)) << c.why;
  }
  Execute execute;
  CefRefPtr<CefProcessMessage> message = Encode(Execute{"a", "b", 1});
  message->GetArgumentList()->SetString(2, "1");
  EXPECT_FALSE(Decode(message, &execute)) << "a line given as text";
  EXPECT_FALSE(Decode(nullptr, &execute));
}

}  // namespace
}  // namespace engine_messages
}  // namespace qvex_engine
