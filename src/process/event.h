// Event: one bound hook (target object and member function); it runs on whichever thread
// fires it.
#ifndef QVEX_PROCESS_EVENT_H_
#define QVEX_PROCESS_EVENT_H_

#include <mutex>
#include <string>
#include <type_traits>

// Base of every object that receives hooks.
class EventHandler {
 public:
  virtual ~EventHandler() = default;
};

// A hook stores its method in one declared form, taking no arguments, and converts it back to
// its own signature when it fires. A handler therefore registers a member function with
// exactly the signature of the hook, e.g. for ZProcess::onStdout:
//
//   process.onStdout.registerHandler(
//       this, Event::method<MyHandler, const char*, size_t>(&MyHandler::gotOutput));
//
// Registering may happen while other threads fire the hook; a firing sees either the old pair
// or the new one.
class Event {
 public:
  using Method = void (EventHandler::*)();

  Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  // Stores the target and the method, replacing any earlier pair. No operation removes it.
  void registerHandler(EventHandler* handler, Method method);

  // Converts a handler's member function to the stored form. The round trip through the
  // EventHandler base keeps the later call well defined.
  template <typename T, typename... Args>
  static Method method(void (T::*handler_method)(Args...)) {
    static_assert(std::is_base_of<EventHandler, T>::value, "handlers derive from EventHandler");
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wcast-function-type"  // The round trip is the design.
    return reinterpret_cast<Method>(
        static_cast<void (EventHandler::*)(Args...)>(handler_method));
#pragma GCC diagnostic pop
  }

  // Calls the method on the target with `args`, converted to the hook's signature Args...;
  // does nothing while no target is registered. The caller names the hook's signature
  // explicitly (fire<int>(status)) so that it never depends on the arguments' deduced types.
  template <typename... Args>
  void fire(typename std::common_type<Args>::type... args) const {
    Method stored;
    EventHandler* target;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stored = method_;
      target = handler_;
    }
    if (target == nullptr || stored == nullptr)
      return;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wcast-function-type"
    auto call = reinterpret_cast<void (EventHandler::*)(Args...)>(stored);
#pragma GCC diagnostic pop
    (target->*call)(args...);
  }

 private:
  Method method_;
  EventHandler* handler_;
  std::string name_;  // Starts empty; kept for handlers that want to label a hook.
  mutable std::mutex mutex_;
};

#endif  // QVEX_PROCESS_EVENT_H_
