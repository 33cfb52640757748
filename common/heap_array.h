// A fixed-length, zero-filled array on the process heap, owned like a
// handle. The program keeps its per-drive state and icon lists in these
// rather than in standard containers, whose error paths would bring the C++
// exception machinery (most of the executable's size) into a program that
// never throws.
#pragma once

#include <windows.h>

#include <cstddef>
#include <type_traits>
#include <utility>

namespace kelvarin {

template <typename T> class HeapArray {
    static_assert(std::is_trivially_copyable_v<T>,
                  "zero-filled raw memory holds only plain values");

  public:
    HeapArray() = default;
    // count zeroed elements; an allocation that fails leaves the array empty.
    explicit HeapArray(std::size_t count) { reset(count); }
    HeapArray(const HeapArray&) = delete;
    HeapArray& operator=(const HeapArray&) = delete;
    HeapArray(HeapArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    HeapArray& operator=(HeapArray&& other) noexcept {
        if (this != &other) {
            reset();
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
        }
        return *this;
    }
    ~HeapArray() { reset(); }

    void reset(std::size_t count = 0) {
        if (data_ != nullptr) {
            HeapFree(GetProcessHeap(), 0, data_);
        }
        data_ = nullptr;
        size_ = 0;
        if (count > 0 && count <= SIZE_MAX / sizeof(T)) {
            data_ =
                static_cast<T*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, count * sizeof(T)));
            size_ = data_ != nullptr ? count : 0;
        }
    }

    T* data() { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }

  private:
    T* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace kelvarin
