// Move-only owners for the Win32 handles the program keeps. A result is built
// in a local owner and release()d into its destination only once everything
// needed for it has succeeded, so no early return can leak a handle.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <unknwn.h>

#include <utility>

namespace kelvarin {

template <typename Handle, typename Close> class unique_handle {
  public:
    unique_handle() = default;
    explicit unique_handle(Handle handle) : handle_(handle) {}
    unique_handle(const unique_handle&) = delete;
    unique_handle& operator=(const unique_handle&) = delete;
    unique_handle(unique_handle&& other) noexcept : handle_(other.release()) {}
    unique_handle& operator=(unique_handle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ~unique_handle() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Handle{}; }

    Handle release() { return std::exchange(handle_, Handle{}); }

    void reset(Handle handle = Handle{}) {
        Handle old = std::exchange(handle_, handle);
        if (old != Handle{}) {
            Close{}(old);
        }
    }

    // For out-parameters of the API: drops the current handle first.
    Handle* put() {
        reset();
        return &handle_;
    }

  private:
    Handle handle_{};
};

struct close_hkey {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
struct destroy_hicon {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
struct destroy_hmenu {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};
struct destroy_himagelist {
    void operator()(HIMAGELIST list) const { ImageList_Destroy(list); }
};
struct close_handle {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct delete_gdi_object {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct free_library {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};

struct free_heap {
    void operator()(void* block) const { HeapFree(GetProcessHeap(), 0, block); }
};
struct release_com {
    void operator()(IUnknown* object) const { object->Release(); }
};

using unique_hkey = unique_handle<HKEY, close_hkey>;
using unique_hicon = unique_handle<HICON, destroy_hicon>;
using unique_hmenu = unique_handle<HMENU, destroy_hmenu>;
using unique_himagelist = unique_handle<HIMAGELIST, destroy_himagelist>;
using unique_kernel_handle = unique_handle<HANDLE, close_handle>;
using unique_hmodule = unique_handle<HMODULE, free_library>;
using unique_hbitmap = unique_handle<HBITMAP, delete_gdi_object>;
using unique_hfont = unique_handle<HFONT, delete_gdi_object>;
// A block of the process heap, and a COM interface.
template <typename T> using unique_heap = unique_handle<T*, free_heap>;
template <typename Interface> using unique_com = unique_handle<Interface*, release_com>;

} // namespace kelvarin
