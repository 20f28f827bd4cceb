// Tests of Event: storing a handler's method in the no-argument form and calling it back.
#include "process/event.h"

#include <cstddef>
#include <string>

#include "gtest/gtest.h"

namespace {

class Counter : public EventHandler {
 public:
  virtual void gotText(const char* bytes, size_t n) { text_.append(bytes, n); }
  void gotNumber(int value) { numbers_ += std::to_string(value) + ";"; }

  std::string text_;
  std::string numbers_;
};

class LoudCounter : public Counter {
 public:
  void gotText(const char* bytes, size_t n) override { text_ += "!" + std::string(bytes, n); }
};

TEST(EventTest, FiresRegisteredMethodWithTheHooksArguments) {
  Event empty;
  // No target yet: firing must be a harmless no-op, not a call through a null pointer.
  empty.fire<int>(1);

  Counter counter;
  Event on_text;
  Event on_number;
  on_text.registerHandler(&counter, Event::method<Counter, const char*, size_t>(&Counter::gotText));
  on_number.registerHandler(&counter, Event::method<Counter, int>(&Counter::gotNumber));
  on_text.fire<const char*, size_t>("abcdef", 3);
  on_text.fire<const char*, size_t>("\0x", 2);  // Bytes after a NUL are still delivered.
  on_number.fire<int>(-1);
  on_number.fire<int>(42);

  EXPECT_EQ(std::string("abc\0x", 5), counter.text_);
  EXPECT_EQ("-1;42;", counter.numbers_);
}

TEST(EventTest, RegisteringAgainReplacesTargetAndKeepsVirtualDispatch) {
  Counter first;
  LoudCounter second;
  Event on_text;
  auto method = Event::method<Counter, const char*, size_t>(&Counter::gotText);
  on_text.registerHandler(&first, method);
  on_text.fire<const char*, size_t>("a", 1);
  on_text.registerHandler(&second, method);
  on_text.fire<const char*, size_t>("b", 1);

  EXPECT_EQ("a", first.text_);
  // The stored method is virtual: the override of the new target runs.
  EXPECT_EQ("!b", second.text_);
}

}  // namespace
