#include "assets/pointer_array.h"

#include <cstdlib>

PointerArray::PointerArray()
    : data(static_cast<void**>(std::calloc(6, sizeof(void*)))), capacity(data ? 6 : 0), count(0) {}

PointerArray::~PointerArray() { std::free(data); }

void PushPointer(PointerArray& array, void* pointer) {
  if (array.count == array.capacity) {
    // Fixed growth by 6: the lists stay short (faces around one vertex).
    void** grown = static_cast<void**>(
        std::realloc(array.data, sizeof(void*) * static_cast<size_t>(array.capacity + 6)));
    if (!grown) return;  // out of memory: the entry is dropped
    array.data = grown;
    array.capacity += 6;
  }
  array.data[array.count++] = pointer;
}
