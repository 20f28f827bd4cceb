// ScopedGObject: one strong reference to a GObject, dropped when the holder goes (moved, never
// copied), so that no branch has to remember its g_object_unref. Used on the thread that owns
// the object.
#ifndef QVEX_ENGINE_COMMON_SCOPED_GOBJECT_H_
#define QVEX_ENGINE_COMMON_SCOPED_GOBJECT_H_

#include <glib-object.h>

#include <utility>

namespace qvex_engine {

template <typename T>
class ScopedGObject {
 public:
  ScopedGObject() = default;
  // Takes over a reference that the caller owns (a constructor's result).
  static ScopedGObject Adopt(T* object) { return ScopedGObject(object); }
  // Adds a reference of its own.
  static ScopedGObject Ref(T* object) {
    return ScopedGObject(object ? static_cast<T*>(g_object_ref(object)) : nullptr);
  }
  ScopedGObject(ScopedGObject&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ScopedGObject& operator=(ScopedGObject&& other) noexcept {
    if (this != &other) {
      reset();
      object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
  }
  ScopedGObject(const ScopedGObject&) = delete;
  ScopedGObject& operator=(const ScopedGObject&) = delete;
  ~ScopedGObject() { reset(); }

  T* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Gives the reference back to the caller, who owns it from then on.
  T* release() { return std::exchange(object_, nullptr); }
  void reset() {
    if (object_) g_object_unref(std::exchange(object_, nullptr));
  }

 private:
  explicit ScopedGObject(T* object) : object_(object) {}
  T* object_ = nullptr;
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_COMMON_SCOPED_GOBJECT_H_
