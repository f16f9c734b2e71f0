// The growable pointer list of the scene model: the faces around each vertex,
// filled by the .3ds reader.
#pragma once
#include <cstdint>

// A list of untyped pointers: 6 slots at first, growing by 6 at a time.
struct PointerArray {
  PointerArray();
  ~PointerArray();
  PointerArray(const PointerArray&) = delete;
  PointerArray& operator=(const PointerArray&) = delete;

  void** data;
  int32_t capacity;
  int32_t count;
};

void PushPointer(PointerArray& array, void* pointer);

// Integer entries (face indices of the vertex-to-face lists) kept as pointers.
inline void PushIndex(PointerArray& array, int32_t index) {
  PushPointer(array, reinterpret_cast<void*>(static_cast<intptr_t>(index)));
}
inline int32_t IndexAt(const PointerArray& array, int32_t i) {
  return static_cast<int32_t>(reinterpret_cast<intptr_t>(array.data[i]));
}
