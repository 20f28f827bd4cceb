// Event: registration of a hook's target; firing is inline in the header.
#include "process/event.h"

Event::Event() : method_(nullptr), handler_(nullptr) {}

void Event::registerHandler(EventHandler* handler, Method method) {
  std::lock_guard<std::mutex> lock(mutex_);
  handler_ = handler;
  method_ = method;
}
