// Test helper: the bytes of a process message written by hand, as another process (or a
// hostile one) could send them.
#ifndef QVEX_TESTS_UNIT_ENGINE_WIRE_BYTES_H_
#define QVEX_TESTS_UNIT_ENGINE_WIRE_BYTES_H_

#include <glib.h>

#include <cstdint>
#include <string>

namespace qvex_engine {

class WireBytes {
 public:
  template <typename T>
  WireBytes& Put(T value) {
    bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
    return *this;
  }
  WireBytes& U8(uint8_t v) { return Put(v); }
  WireBytes& U32(uint32_t v) { return Put(v); }
  WireBytes& I32(int32_t v) { return Put(v); }
  WireBytes& Text(const std::string& utf8) {
    Put(static_cast<uint32_t>(utf8.size()));
    bytes_ += utf8;
    return *this;
  }
  // A new reference to the bytes as the parameters of a user message ("ay").
  GVariant* Variant() const {
    return g_variant_ref_sink(
        g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, bytes_.data(), bytes_.size(), 1));
  }

 private:
  std::string bytes_;
};

}  // namespace qvex_engine

#endif  // QVEX_TESTS_UNIT_ENGINE_WIRE_BYTES_H_
