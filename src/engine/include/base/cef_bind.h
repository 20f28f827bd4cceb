// base::Bind: binds a function and its arguments into a closure. Arguments are copied at bind
// time; a raw pointer to a reference-counted object (a receiver `this` or an argument) is held
// through a CefRefPtr until the closure is destroyed, as CEF's Bind does.
#ifndef CEF_INCLUDE_BASE_CEF_BIND_H_
#define CEF_INCLUDE_BASE_CEF_BIND_H_

#include <functional>
#include <memory>
#include <tuple>
#include <type_traits>
#include <utility>

#include "include/base/cef_callback.h"
#include "include/cef_base.h"

namespace base {
namespace internal {

template <typename T, typename = void>
struct Retained {
  using type = T;
  static T Wrap(T v) { return v; }
  static T Unwrap(const T& v) { return v; }
};

// A raw pointer to something with AddRef/Release is kept alive by the closure.
template <typename T>
struct Retained<T*, std::void_t<decltype(std::declval<T*>()->AddRef()),
                                decltype(std::declval<T*>()->Release())>> {
  using type = CefRefPtr<T>;
  static type Wrap(T* v) { return type(v); }
  static T* Unwrap(const type& v) { return v.get(); }
};

template <typename F, typename... Args>
RepeatingClosure BindImpl(F&& f, Args&&... args) {
  auto bound = std::make_shared<std::tuple<typename Retained<std::decay_t<Args>>::type...>>(
      Retained<std::decay_t<Args>>::Wrap(std::forward<Args>(args))...);
  return RepeatingClosure([fn = std::forward<F>(f), bound]() {
    std::apply(
        [&fn](const auto&... a) {
          std::invoke(fn, Retained<std::decay_t<Args>>::Unwrap(a)...);
        },
        *bound);
  });
}

}  // namespace internal

template <typename F, typename... Args>
RepeatingClosure Bind(F&& f, Args&&... args) {
  return internal::BindImpl(std::forward<F>(f), std::forward<Args>(args)...);
}

template <typename F, typename... Args>
RepeatingClosure BindOnce(F&& f, Args&&... args) {
  return internal::BindImpl(std::forward<F>(f), std::forward<Args>(args)...);
}

template <typename F, typename... Args>
RepeatingClosure BindRepeating(F&& f, Args&&... args) {
  return internal::BindImpl(std::forward<F>(f), std::forward<Args>(args)...);
}

}  // namespace base

#endif  // CEF_INCLUDE_BASE_CEF_BIND_H_
