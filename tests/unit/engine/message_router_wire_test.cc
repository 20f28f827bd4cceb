// Tests of the message router's process messages: layout, round trips and rejection of
// malformed input.
#include "common/message_router_wire.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace qvex_engine {
namespace router_wire {
namespace {

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

}  // namespace
}  // namespace router_wire
}  // namespace qvex_engine
