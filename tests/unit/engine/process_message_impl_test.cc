// Tests of process messages and their GVariant form on the wire.
#include "common/process_message_impl.h"

#include <gtest/gtest.h>

#include <string>

#include "wire_bytes.h"

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
  // Long texts stay in the received bytes, which outlive the caller's hold on them.
  std::u16string long_text = text;
  while (long_text.size() < (1 << 17)) long_text += long_text;
  args->SetString(7, long_text);

  GVariant* wire = OverTheWire(ArgumentsToVariant(args));
  CefRefPtr<CefProcessMessage> m = MessageFromVariant("name", wire);
  g_variant_unref(wire);

  EXPECT_EQ(m->GetName().ToString(), "name");
  CefRefPtr<CefListValue> got = m->GetArgumentList();
  ASSERT_EQ(got->GetSize(), 8u);
  EXPECT_EQ(got->GetString(0).ToString16(), text);
  EXPECT_EQ(got->GetInt(1), -7);
  EXPECT_EQ(got->GetDouble(2), 0.25);
  EXPECT_TRUE(got->GetBool(3));
  EXPECT_EQ(got->GetType(4), VTYPE_NULL);
  EXPECT_EQ(got->GetType(5), VTYPE_STRING);
  EXPECT_TRUE(got->GetString(5).empty());
  EXPECT_EQ(got->GetString(6).length(), 1u << 20);
  EXPECT_EQ(got->GetString(7).ToString16(), long_text);
  m = nullptr;
  EXPECT_EQ(got->GetString(7).ToString(), CefString::ToUtf8(long_text));  // The list holds them.
}


// A message as another process could send it: version 2, then the count and the entries.
CefRefPtr<CefListValue> Read(const WireBytes& bytes) {
  GVariant* v = bytes.Variant();
  CefRefPtr<CefListValue> list = MessageFromVariant("m", v)->GetArgumentList();
  g_variant_unref(v);
  return list;
}

TEST(ProcessMessageImplTest, MalformedParametersGiveEmptyListsNotCrashes) {
  EXPECT_EQ(MessageFromVariant("m", nullptr)->GetArgumentList()->GetSize(), 0u);
  GVariant* text = g_variant_ref_sink(g_variant_new_string("hello"));  // Not bytes at all.
  EXPECT_EQ(MessageFromVariant("m", text)->GetArgumentList()->GetSize(), 0u);
  g_variant_unref(text);
  const WireBytes kBad[] = {
      WireBytes(),                                                  // Nothing.
      WireBytes().U8(1).U32(1).U8(VTYPE_NULL),                      // Another version.
      WireBytes().U8(2).U32(2).U8(VTYPE_NULL),                      // One entry short.
      WireBytes().U8(2).U32(1).U8(200),                             // A tag nobody knows.
      WireBytes().U8(2).U32(1).U8(VTYPE_BOOL).U8(2),                // A bool that is 2.
      WireBytes().U8(2).U32(1).U8(VTYPE_INT).U8(1).U8(0),           // An int cut short.
      WireBytes().U8(2).U32(1).U8(VTYPE_STRING).U32(0xFFFFFFFF),    // Text beyond the end.
      WireBytes().U8(2).U32(1).U8(VTYPE_STRING).U32(4).U8('a'),     // Text cut short.
      WireBytes().U8(2).U32(1).U8(VTYPE_NULL).U8(0),                // A byte left over.
      WireBytes().U8(2).U32(kMaxArguments + 1),                     // A count beyond the limit.
      WireBytes().U8(2).U32(0xFFFFFFFF),                            // A hostile count.
  };
  for (size_t i = 0; i < sizeof(kBad) / sizeof(kBad[0]); ++i)
    EXPECT_EQ(Read(kBad[i])->GetSize(), 0u) << "case " << i;

  // Every kind, with text that is no UTF-8 read as U+FFFD.
  CefRefPtr<CefListValue> got = Read(WireBytes()
                                         .U8(2)
                                         .U32(4)
                                         .U8(VTYPE_NULL)
                                         .U8(VTYPE_STRING)
                                         .Text("\xff" "A")
                                         .U8(VTYPE_BOOL)
                                         .U8(1)
                                         .U8(VTYPE_INT)
                                         .I32(-4));
  ASSERT_EQ(got->GetSize(), 4u);
  EXPECT_EQ(got->GetType(0), VTYPE_NULL);
  EXPECT_EQ(got->GetString(1).ToString16(), u"\uFFFDA");
  EXPECT_TRUE(got->GetBool(2));
  EXPECT_EQ(got->GetInt(3), -4);
  // Reads of the wrong type or out of range answer defaults.
  EXPECT_EQ(got->GetInt(0), 0);
  EXPECT_TRUE(got->GetString(9).empty());
  EXPECT_EQ(got->GetType(9), VTYPE_INVALID);
}

TEST(ProcessMessageImplTest, ListsBeyondTheLimitAreRefused) {
  CefRefPtr<CefListValue> args = CefListValue::Create();
  args->SetSize(kMaxArguments);
  GVariant* wire = OverTheWire(ArgumentsToVariant(args));
  EXPECT_EQ(MessageFromVariant("m", wire)->GetArgumentList()->GetSize(), kMaxArguments);
  g_variant_unref(wire);
  args->SetSize(kMaxArguments + 1);
  wire = OverTheWire(ArgumentsToVariant(args));
  EXPECT_EQ(MessageFromVariant("m", wire)->GetArgumentList()->GetSize(), 0u);
  g_variant_unref(wire);
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
  GVariant* list_only = g_variant_ref_sink(ArgumentsToVariant(args));  // No frame in it.
  GVariant* v1 = g_variant_ref_sink(g_variant_new_parsed("(int64 7, @a(yv) [])"));  // Version 1.
  GVariant* longer = WireBytes().U8(2).Put<int64_t>(7).U32(0).U8(0).Variant();  // A byte more.
  for (GVariant* bad : {list_only, v1, longer}) {
    got_id = 99;
    EXPECT_EQ(FrameMessageFromVariant("m", bad, &got_id)->GetArgumentList()->GetSize(), 0u);
    EXPECT_EQ(got_id, 0);
    g_variant_unref(bad);
  }
  EXPECT_EQ(FrameMessageFromVariant("m", nullptr, &got_id)->GetArgumentList()->GetSize(), 0u);
}

// Long texts read as short ones do: bytes that are not exactly what the sending side writes
// (invalid bytes, a pair spelt as two surrogates) are converted, not kept as they came.
TEST(ProcessMessageImplTest, LongOddTextsAreConvertedAsShortOnesAre) {
  const std::string kOdd[] = {"\xFF", "\xED\xA0\xBD\xED\xB8\x80", std::string(1, '\0')};
  for (const std::string& odd : kOdd) {
    const std::string bytes = std::string(100000, 'a') + odd;
    const CefString got =
        Read(WireBytes().U8(2).U32(1).U8(VTYPE_STRING).Text(bytes))->GetString(0);
    EXPECT_EQ(got.ToString16(), CefString::FromUtf8(bytes));
    EXPECT_EQ(got.ToString(), CefString::ToUtf8(CefString::FromUtf8(bytes)));
  }
}

}  // namespace
}  // namespace qvex_engine
