// base::Bind keeps reference-counted receivers and arguments alive while the closure lives.
#include "include/base/cef_bind.h"

#include <gtest/gtest.h>

namespace {

class Counted : public CefBaseRefCounted {
 public:
  explicit Counted(bool* deleted) : deleted_(deleted) {}
  ~Counted() override { *deleted_ = true; }
  void Add(int v) { sum += v; }
  int sum = 0;

 private:
  bool* deleted_;
  IMPLEMENT_REFCOUNTING(Counted);
};

TEST(BaseBindTest, RetainsARawReceiverUntilTheClosureGoes) {
  bool deleted = false;
  Counted* raw = new Counted(&deleted);
  CefRefPtr<Counted> owner(raw);
  base::RepeatingClosure closure = base::Bind(&Counted::Add, raw, 5);
  owner = nullptr;  // The closure's reference keeps it.
  EXPECT_FALSE(deleted);
  closure.Run();
  closure.Run();
  EXPECT_EQ(raw->sum, 10);
  closure = base::RepeatingClosure();
  EXPECT_TRUE(deleted);
}

TEST(BaseBindTest, CopiesArgumentsAtBindTime) {
  std::string text = "before";
  std::string seen;
  base::RepeatingClosure closure =
      base::Bind([](std::string* out, std::string t) { *out = t; }, &seen, text);
  text = "after";
  closure.Run();
  EXPECT_EQ(seen, "before");
  base::RepeatingClosure empty;
  empty.Run();  // An empty closure does nothing.
}

}  // namespace
