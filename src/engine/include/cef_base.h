// Reference counting for every port object, as CEF's wrapper defines it. Counts are atomic,
// so references may be taken and dropped on any thread.
#ifndef CEF_INCLUDE_CEF_BASE_H_
#define CEF_INCLUDE_CEF_BASE_H_

#include <atomic>

#include "include/internal/cef_ptr.h"
#include "include/internal/cef_string.h"
#include "include/internal/cef_types.h"

class CefBaseRefCounted {
 public:
  virtual void AddRef() const = 0;
  virtual bool Release() const = 0;  // True when this call deleted the object.
  virtual bool HasOneRef() const = 0;
  virtual bool HasAtLeastOneRef() const = 0;

 protected:
  virtual ~CefBaseRefCounted() = default;
};

class CefRefCount {
 public:
  CefRefCount() = default;
  CefRefCount(const CefRefCount&) = delete;
  CefRefCount& operator=(const CefRefCount&) = delete;

  void AddRef() const { count_.fetch_add(1, std::memory_order_relaxed); }
  bool Release() const { return count_.fetch_sub(1, std::memory_order_acq_rel) == 1; }
  bool HasOneRef() const { return count_.load(std::memory_order_acquire) == 1; }
  bool HasAtLeastOneRef() const { return count_.load(std::memory_order_acquire) >= 1; }

 private:
  mutable std::atomic<int> count_{0};
};

#define IMPLEMENT_REFCOUNTING(ClassName)                                 \
 public:                                                                 \
  void AddRef() const override { ref_count_.AddRef(); }                  \
  bool Release() const override {                                        \
    if (ref_count_.Release()) {                                          \
      delete static_cast<const ClassName*>(this);                        \
      return true;                                                       \
    }                                                                    \
    return false;                                                        \
  }                                                                      \
  bool HasOneRef() const override { return ref_count_.HasOneRef(); }    \
  bool HasAtLeastOneRef() const override {                               \
    return ref_count_.HasAtLeastOneRef();                                \
  }                                                                      \
                                                                         \
 private:                                                                \
  CefRefCount ref_count_

#define DISALLOW_COPY_AND_ASSIGN(TypeName) \
  TypeName(const TypeName&) = delete;      \
  TypeName& operator=(const TypeName&) = delete

#endif  // CEF_INCLUDE_CEF_BASE_H_
