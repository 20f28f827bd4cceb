// Tests of the message router's process messages: layout, round trips and rejection of
// malformed input.
#include "common/message_router_wire.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/process_message_impl.h"
#include "wire_bytes.h"

namespace qvex_engine {
namespace router_wire {
namespace {

// The message as the other process reads it: serialized, then parsed from untrusted bytes.
CefRefPtr<CefProcessMessage> OverTheWire(CefRefPtr<CefProcessMessage> message) {
  GVariant* sent = g_variant_ref_sink(ArgumentsToVariant(message->GetArgumentList()));
  GBytes* bytes = g_variant_get_data_as_bytes(sent);
  GVariant* got = g_variant_ref_sink(g_variant_new_from_bytes(G_VARIANT_TYPE_BYTESTRING, bytes, FALSE));
  CefRefPtr<CefProcessMessage> result = MessageFromVariant("cefQueryMsg", got);
  g_variant_unref(got);
  g_bytes_unref(bytes);
  g_variant_unref(sent);
  return result;
}

// A message from bytes written by hand, as a hostile process could send them.
CefRefPtr<CefProcessMessage> FromBytes(const WireBytes& bytes) {
  GVariant* v = bytes.Variant();
  CefRefPtr<CefProcessMessage> result = MessageFromVariant("cefQueryMsg", v);
  g_variant_unref(v);
  return result;
}

CefRefPtr<CefProcessMessage> Build(const std::function<void(CefRefPtr<CefListValue>)>& fill) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create("cefQueryMsg");
  fill(message->GetArgumentList());
  return message;
}

TEST(MessageRouterWireTest, NamesFollowTheScriptFunctions) {
  EXPECT_EQ(QueryName("cefQuery"), "cefQueryMsg");
  EXPECT_EQ(CancelName("cefQueryCancel"), "cefQueryCancelMsg");
  EXPECT_EQ(QueryName("myQuery"), "myQueryMsg");
}

TEST(MessageRouterWireTest, RoundTripsEveryMessageKind) {
  const std::u16string odd(u"a\0b\xD800" u"c", 5);  // NUL and a lone surrogate.
  Query query;
  ASSERT_TRUE(Decode(Encode("q", Query{3, 9, odd, true}), &query));
  EXPECT_EQ(query.context_id, 3);
  EXPECT_EQ(query.request_id, 9);
  EXPECT_EQ(query.request.ToString16(), odd);
  EXPECT_TRUE(query.persistent);

  Cancel cancel;
  ASSERT_TRUE(Decode(Encode("c", Cancel{3, kAllRequests}), &cancel));
  EXPECT_EQ(cancel.context_id, 3);
  EXPECT_EQ(cancel.request_id, kAllRequests);

  Response success;
  ASSERT_TRUE(Decode(Encode("r", Response{4, 5, true, 0, odd}), &success));
  EXPECT_TRUE(success.success);
  EXPECT_EQ(success.payload.ToString16(), odd);
  EXPECT_EQ(Encode("r", Response{4, 5, true, 0, odd})->GetArgumentList()->GetSize(), 4u);

  Response failure;
  ASSERT_TRUE(Decode(Encode("r", Response{4, 5, false, -1, "gone"}), &failure));
  EXPECT_FALSE(failure.success);
  EXPECT_EQ(failure.error_code, -1);
  EXPECT_EQ(failure.payload.ToString(), "gone");
  EXPECT_EQ(failure.request_id, 5);
}

// The bytes the routers write straight are those of the message objects' way, so either side
// reads them alike.
TEST(MessageRouterWireTest, StraightBytesMatchTheMessageObjects) {
  auto bytes_of = [](GVariant* v) {
    g_variant_ref_sink(v);
    std::string bytes(static_cast<const char*>(g_variant_get_data(v)), g_variant_get_size(v));
    g_variant_unref(v);
    return bytes;
  };
  const CefString odd(std::u16string(u"q\0\xD800\u00e9", 4));
  const std::string long_text(100000, 'l');
  for (const Query& q : {Query{1, 2, "r", false}, Query{7, 1 << 30, odd, true},
                         Query{3, 4, long_text, false}, Query{5, 6, "", true}}) {
    EXPECT_EQ(bytes_of(ToFrameVariant(-9, q)),
              bytes_of(FrameMessageToVariant(-9, Encode("n", q)->GetArgumentList())));
  }
  for (const Response& r : {Response{1, 2, true, 0, "ok"}, Response{1, 2, false, -1, odd},
                            Response{8, 9, true, 0, long_text}, Response{8, 9, false, 5, ""}}) {
    EXPECT_EQ(bytes_of(ToFrameVariant(1LL << 40, r)),
              bytes_of(FrameMessageToVariant(1LL << 40, Encode("n", r)->GetArgumentList())));
  }
}

TEST(MessageRouterWireTest, RejectsMalformedQueries) {
  const std::function<void(CefRefPtr<CefListValue>)> kBad[] = {
      // No arguments at all.
      [](CefRefPtr<CefListValue>) {},
      // One argument short.
      [](CefRefPtr<CefListValue> a) { a->SetInt(0, 1), a->SetInt(1, 1), a->SetString(2, "r"); },
      // One argument too many.
      [](CefRefPtr<CefListValue> a) {
        a->SetInt(0, 1), a->SetInt(1, 1), a->SetString(2, "r"), a->SetBool(3, false),
            a->SetInt(4, 0);
      },
      // Request id as a string.
      [](CefRefPtr<CefListValue> a) {
        a->SetInt(0, 1), a->SetString(1, "1"), a->SetString(2, "r"), a->SetBool(3, false);
      },
      // Persistent flag as an int.
      [](CefRefPtr<CefListValue> a) {
        a->SetInt(0, 1), a->SetInt(1, 1), a->SetString(2, "r"), a->SetInt(3, 1);
      },
      // Request id 0 is reserved.
      [](CefRefPtr<CefListValue> a) {
        a->SetInt(0, 1), a->SetInt(1, 0), a->SetString(2, "r"), a->SetBool(3, false);
      },
      // Negative context id.
      [](CefRefPtr<CefListValue> a) {
        a->SetInt(0, -2), a->SetInt(1, 1), a->SetString(2, "r"), a->SetBool(3, false);
      },
      // A hole (null entry) where the request belongs.
      [](CefRefPtr<CefListValue> a) { a->SetInt(0, 1), a->SetInt(1, 1), a->SetBool(3, true); },
  };
  for (size_t i = 0; i < sizeof(kBad) / sizeof(kBad[0]); ++i) {
    Query query;
    EXPECT_FALSE(Decode(Build(kBad[i]), &query)) << "case " << i;
  }
  Query query;
  EXPECT_FALSE(Decode(CefRefPtr<CefProcessMessage>(), &query));  // No message.
}

TEST(MessageRouterWireTest, RejectsMalformedCancelsAndResponses) {
  Cancel cancel;
  // Negative request id.
  EXPECT_FALSE(Decode(Build([](auto a) { a->SetInt(0, 1), a->SetInt(1, -1); }), &cancel));
  // Context id 0 names no context.
  EXPECT_FALSE(Decode(Build([](auto a) { a->SetInt(0, 0), a->SetInt(1, 1); }), &cancel));
  // Doubles are not ids.
  EXPECT_FALSE(Decode(Build([](auto a) { a->SetDouble(0, 1), a->SetInt(1, 1); }), &cancel));

  Response response;
  // A success carrying a failure's fields.
  EXPECT_FALSE(Decode(Build([](auto a) {
                        a->SetInt(0, 1), a->SetInt(1, 1), a->SetBool(2, true), a->SetInt(3, 5),
                            a->SetString(4, "m");
                      }),
                      &response));
  // A failure without its error code.
  EXPECT_FALSE(Decode(Build([](auto a) {
                        a->SetInt(0, 1), a->SetInt(1, 1), a->SetBool(2, false),
                            a->SetString(3, "m");
                      }),
                      &response));
  // A response to the reserved request id.
  EXPECT_FALSE(Decode(Build([](auto a) {
                        a->SetInt(0, 1), a->SetInt(1, 0), a->SetBool(2, true),
                            a->SetString(3, "m");
                      }),
                      &response));
}

// Strings travel as UTF-8 bytes: half the UTF-16 size for ASCII, every unit kept.
TEST(MessageRouterWireTest, StringsCrossAsUtf8Exactly) {
  std::u16string large(10 << 20, u'x');  // 10 Mi units, as a large JSON document.
  large[0] = 0xD800, large[1] = 0, large[large.size() - 1] = 0xE9;
  const std::u16string kCases[] = {
      u"",
      std::u16string(u"a\0b\xD800" u"c", 5),  // NUL and a lone surrogate.
      u"\u00e9\u4e2d\U0001F600",               // 2-, 3- and 4-byte sequences.
      std::u16string(u"\xDC00\xD800", 2),      // A reversed pair: two lone units.
      large,
  };
  for (const std::u16string& text : kCases) {
    Query query;
    ASSERT_TRUE(Decode(OverTheWire(Encode("q", Query{1, 2, text, false})), &query));
    EXPECT_TRUE(query.request.ToString16() == text) << text.size();
    Response response;
    ASSERT_TRUE(Decode(OverTheWire(Encode("r", Response{1, 2, true, 0, text})), &response));
    EXPECT_TRUE(response.payload.ToString16() == text) << text.size();
  }
  GVariant* wire = g_variant_ref_sink(
      ArgumentsToVariant(Encode("q", Query{1, 2, large, false})->GetArgumentList()));
  EXPECT_LT(g_variant_get_size(wire), large.size() + 100);  // One byte a unit, not two.
  g_variant_unref(wire);
}

// What another process may send: bytes that are no UTF-8 become U+FFFD; a string of another
// type, or the earlier format, is refused; so is a message cut short.
TEST(MessageRouterWireTest, HostileStringsAreReadSafelyOrRefused) {
  auto query_with = [](const std::string& request_bytes) {
    return WireBytes().U8(kWireVersion).U32(4).U8(VTYPE_INT).I32(1).U8(VTYPE_INT).I32(7)
        .U8(VTYPE_STRING).Put(static_cast<uint32_t>(request_bytes.size()))
        .Put(request_bytes[0]).Put(request_bytes[1]).Put(request_bytes[2])
        .U8(VTYPE_BOOL).U8(1);
  };
  Query query;
  ASSERT_TRUE(Decode(FromBytes(query_with("\xc3(\xff")), &query));
  EXPECT_EQ(query.request.ToString16(), u"\uFFFD(\uFFFD");
  EXPECT_TRUE(query.persistent);
  const WireBytes kRefused[] = {
      // The request's length beyond the message.
      WireBytes().U8(kWireVersion).U32(4).U8(VTYPE_INT).I32(1).U8(VTYPE_INT).I32(7)
          .U8(VTYPE_STRING).U32(1u << 31).U8('p'),
      // An int where the request belongs.
      WireBytes().U8(kWireVersion).U32(4).U8(VTYPE_INT).I32(1).U8(VTYPE_INT).I32(7)
          .U8(VTYPE_INT).I32(3).U8(VTYPE_BOOL).U8(1),
      // The request missing.
      WireBytes().U8(kWireVersion).U32(3).U8(VTYPE_INT).I32(1).U8(VTYPE_INT).I32(7)
          .U8(VTYPE_BOOL).U8(1),
  };
  for (const WireBytes& bytes : kRefused) EXPECT_FALSE(Decode(FromBytes(bytes), &query));

  // A serialized query cut anywhere, or claiming more than it holds, never decodes.
  GVariant* sent = g_variant_ref_sink(ArgumentsToVariant(
      Encode("q", Query{1, 2, std::string(1000, 'z'), true})->GetArgumentList()));
  const auto* data = static_cast<const guint8*>(g_variant_get_data(sent));
  const gsize size = g_variant_get_size(sent);
  for (gsize cut : {gsize{0}, gsize{1}, size / 2, size - 9, size - 1}) {
    GBytes* bytes = g_bytes_new(data, cut);
    GVariant* got =
        g_variant_ref_sink(g_variant_new_from_bytes(G_VARIANT_TYPE_BYTESTRING, bytes, FALSE));
    EXPECT_FALSE(Decode(MessageFromVariant("cefQueryMsg", got), &query)) << cut;
    g_variant_unref(got);
    g_bytes_unref(bytes);
  }
  g_variant_unref(sent);
}

}  // namespace
}  // namespace router_wire
}  // namespace qvex_engine
