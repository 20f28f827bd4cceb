// base::OnceClosure / base::RepeatingClosure: a bound call with no arguments left.
#ifndef CEF_INCLUDE_BASE_CEF_CALLBACK_H_
#define CEF_INCLUDE_BASE_CEF_CALLBACK_H_

#include <functional>
#include <utility>

namespace base {

// A copyable closure. Running an empty closure does nothing.
class RepeatingClosure {
 public:
  RepeatingClosure() = default;
  explicit RepeatingClosure(std::function<void()> fn) : fn_(std::move(fn)) {}
  void Run() const {
    if (fn_) fn_();
  }
  bool is_null() const { return !fn_; }
  explicit operator bool() const { return static_cast<bool>(fn_); }

 private:
  std::function<void()> fn_;
};

using OnceClosure = RepeatingClosure;
using Closure = RepeatingClosure;

}  // namespace base

#endif  // CEF_INCLUDE_BASE_CEF_CALLBACK_H_
