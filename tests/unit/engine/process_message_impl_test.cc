// Tests of process messages and their GVariant form on the wire.
#include "common/process_message_impl.h"

#include <gtest/gtest.h>

#include <string>

namespace qvex_engine {
namespace {

// As the message travels: serialized to bytes and read back, as WebKit's IPC does.
GVariant* OverTheWire(GVariant* value) {
  g_variant_ref_sink(value);
  GBytes* bytes = g_variant_get_data_as_bytes(value);
  GVariant* copy = g_variant_ref_sink(
      g_variant_new_from_bytes(g_variant_get_type(value), bytes, FALSE));
  g_bytes_unref(bytes);
  g_variant_unref(value);
  return copy;
}

TEST(ProcessMessageImplTest, ArgumentsSurviveTheWireExactly) {
  const std::u16string text(u"\0x\xD800y\xDFFF\U0001F600", 7);  // NUL, lone surrogates, a pair.
  CefRefPtr<CefListValue> args = CefListValue::Create();
  args->SetString(0, text);
  args->SetInt(1, -7);
  args->SetDouble(2, 0.25);
  args->SetBool(3, true);
  args->SetNull(4);
  args->SetString(5, "");
  args->SetString(6, std::string(1 << 20, 'z'));  // Large payloads go as one array.

  GVariant* wire = OverTheWire(ArgumentsToVariant(args));
  CefRefPtr<CefProcessMessage> m = MessageFromVariant("name", wire);
  g_variant_unref(wire);

  EXPECT_EQ(m->GetName().ToString(), "name");
  CefRefPtr<CefListValue> got = m->GetArgumentList();
  ASSERT_EQ(got->GetSize(), 7u);
  EXPECT_EQ(got->GetString(0).ToString16(), text);
  EXPECT_EQ(got->GetInt(1), -7);
  EXPECT_EQ(got->GetDouble(2), 0.25);
  EXPECT_TRUE(got->GetBool(3));
  EXPECT_EQ(got->GetType(4), VTYPE_NULL);
  EXPECT_EQ(got->GetType(5), VTYPE_STRING);
  EXPECT_TRUE(got->GetString(5).empty());
  EXPECT_EQ(got->GetString(6).length(), 1u << 20);
}

TEST(ProcessMessageImplTest, MalformedParametersGiveNullsNotCrashes) {
  // Not the expected container type at all: an empty list.
  GVariant* wrong = g_variant_ref_sink(g_variant_new_string("hello"));
  EXPECT_EQ(MessageFromVariant("m", wrong)->GetArgumentList()->GetSize(), 0u);
  g_variant_unref(wrong);
  EXPECT_EQ(MessageFromVariant("m", nullptr)->GetArgumentList()->GetSize(), 0u);

  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("a(yv)"));
  // A string tag over an int32: the tag and the value disagree.
  g_variant_builder_add(&builder, "(yv)", static_cast<guchar>(VTYPE_STRING),
                        g_variant_new_int32(3));
  // An unknown tag.
  g_variant_builder_add(&builder, "(yv)", static_cast<guchar>(200), g_variant_new_int32(3));
  // A string sent as UTF-8 text instead of UTF-16 units.
  g_variant_builder_add(&builder, "(yv)", static_cast<guchar>(VTYPE_STRING),
                        g_variant_new_string("utf8"));
  GVariant* bad = g_variant_ref_sink(g_variant_builder_end(&builder));
  CefRefPtr<CefListValue> got = MessageFromVariant("m", bad)->GetArgumentList();
  g_variant_unref(bad);
  ASSERT_EQ(got->GetSize(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(got->GetType(i), VTYPE_NULL) << i;
  // Reads of the wrong type or out of range answer defaults.
  EXPECT_EQ(got->GetInt(0), 0);
  EXPECT_TRUE(got->GetString(9).empty());
  EXPECT_EQ(got->GetType(9), VTYPE_INVALID);
}

TEST(ProcessMessageImplTest, FrameMessagesCarryTheirFrame) {
  CefRefPtr<CefListValue> args = CefListValue::Create();
  args->SetString(0, "text");
  args->SetInt(1, 5);
  // A sub-frame's identifier is WebKit's: above 32 bits.
  const int64_t frame_id = (int64_t{4} << 32) + 1;
  GVariant* wire = OverTheWire(FrameMessageToVariant(frame_id, args));
  int64_t got_id = 0;
  CefRefPtr<CefProcessMessage> m = FrameMessageFromVariant("name", wire, &got_id);
  g_variant_unref(wire);
  EXPECT_EQ(got_id, frame_id);
  ASSERT_EQ(m->GetArgumentList()->GetSize(), 2u);
  EXPECT_EQ(m->GetArgumentList()->GetString(0).ToString(), "text");
  EXPECT_EQ(m->GetArgumentList()->GetInt(1), 5);

  // Any other form: no frame (0, the main frame) and no arguments.
  const char* wrong_forms[] = {
      "[(byte 1, <1>)]",              // Arguments without the frame.
      "(int32 7, @a(yv) [])",         // The frame as a 32-bit number.
      "(int64 7, 'text')",            // Arguments that are no list.
      "(int64 7, @a(yv) [], true)",   // One more member.
  };
  for (const char* text : wrong_forms) {
    GVariant* bad = g_variant_ref_sink(g_variant_parse(nullptr, text, nullptr, nullptr, nullptr));
    ASSERT_NE(bad, nullptr) << text;
    got_id = 99;
    EXPECT_EQ(FrameMessageFromVariant("m", bad, &got_id)->GetArgumentList()->GetSize(), 0u)
        << text;
    EXPECT_EQ(got_id, 0) << text;
    g_variant_unref(bad);
  }
  EXPECT_EQ(FrameMessageFromVariant("m", nullptr, &got_id)->GetArgumentList()->GetSize(), 0u);
}

}  // namespace
}  // namespace qvex_engine
