// CefRefPtr: the intrusive smart pointer for reference-counted port objects. Any thread.
#ifndef CEF_INCLUDE_INTERNAL_CEF_PTR_H_
#define CEF_INCLUDE_INTERNAL_CEF_PTR_H_

#include <cstddef>
#include <utility>

template <class T>
class CefRefPtr {
 public:
  CefRefPtr() = default;
  CefRefPtr(std::nullptr_t) {}
  CefRefPtr(T* p) : ptr_(p) {
    if (ptr_) ptr_->AddRef();
  }
  CefRefPtr(const CefRefPtr& r) : CefRefPtr(r.ptr_) {}
  template <class U>
  CefRefPtr(const CefRefPtr<U>& r) : CefRefPtr(r.get()) {}
  CefRefPtr(CefRefPtr&& r) noexcept : ptr_(r.ptr_) { r.ptr_ = nullptr; }
  template <class U>
  CefRefPtr(CefRefPtr<U>&& r) noexcept : ptr_(r.release_unsafe()) {}
  ~CefRefPtr() {
    if (ptr_) ptr_->Release();
  }

  CefRefPtr& operator=(T* p) {
    CefRefPtr(p).swap(*this);
    return *this;
  }
  CefRefPtr& operator=(const CefRefPtr& r) { return *this = r.ptr_; }
  CefRefPtr& operator=(CefRefPtr&& r) noexcept {
    CefRefPtr(std::move(r)).swap(*this);
    return *this;
  }
  template <class U>
  CefRefPtr& operator=(const CefRefPtr<U>& r) { return *this = r.get(); }

  T* get() const { return ptr_; }
  T& operator*() const { return *ptr_; }
  T* operator->() const { return ptr_; }
  operator T*() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }

  void reset() { CefRefPtr().swap(*this); }
  void swap(CefRefPtr& r) noexcept { std::swap(ptr_, r.ptr_); }

  // Hands the reference over without releasing it; used by the converting move.
  T* release_unsafe() {
    T* p = ptr_;
    ptr_ = nullptr;
    return p;
  }

 private:
  T* ptr_ = nullptr;
};

template <class T, class U>
bool operator==(const CefRefPtr<T>& a, const CefRefPtr<U>& b) { return a.get() == b.get(); }
template <class T, class U>
bool operator!=(const CefRefPtr<T>& a, const CefRefPtr<U>& b) { return a.get() != b.get(); }
template <class T>
bool operator==(const CefRefPtr<T>& a, std::nullptr_t) { return a.get() == nullptr; }
template <class T>
bool operator!=(const CefRefPtr<T>& a, std::nullptr_t) { return a.get() != nullptr; }

#endif  // CEF_INCLUDE_INTERNAL_CEF_PTR_H_
