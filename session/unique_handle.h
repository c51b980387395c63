// The one owner of one handle, for every kind of handle the program holds: the handle is closed
// when its owner ends, on every way out of a scope. Portable: the Win32 kinds are in
// session/handles.h, FFmpeg's in import/ffmpeg_handles.h.
//
// A kind is a traits type:
//   using Handle = ...;              what the API hands out
//   static Handle Empty();           the value that holds nothing (null, INVALID_HANDLE_VALUE)
//   static bool Close(Handle);       lets a held handle go; false when the close itself failed
#pragma once
#include <cstdio>
#include <type_traits>
#include <utility>

template <class Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::Empty(); }
  // The members of what a pointer handle points to (FFmpeg contexts, COM interfaces).
  Handle operator->() const
    requires std::is_class_v<std::remove_pointer_t<Handle>>
  {
    return handle_;
  }

  // Gives the handle up unclosed; the caller owns it now.
  Handle release() { return std::exchange(handle_, Traits::Empty()); }
  // Closes what is held (if anything) and holds `handle` instead.
  void reset(Handle handle = Traits::Empty()) {
    const Handle old = std::exchange(handle_, handle);
    if (old != Traits::Empty()) Traits::Close(old);
  }
  // Closes now and says whether the close succeeded (for a written file: whether all of it
  // reached the disk). Holding nothing closes successfully.
  bool close() {
    const Handle old = release();
    return old == Traits::Empty() || Traits::Close(old);
  }

  // For a call that hands out a handle through a pointer: what is held is closed first.
  Handle* put() {
    reset();
    return &handle_;
  }
  // The same as void** (CoCreateInstance, QueryInterface and their kind).
  void** put_void()
    requires std::is_pointer_v<Handle>
  {
    reset();
    return reinterpret_cast<void**>(&handle_);
  }

 private:
  Handle handle_ = Traits::Empty();
};

// The kinds that are null when empty and let go by one call of a library's function: `Free`
// takes the object (kiss_fftr_free) or its address (ebur128_destroy).
template <class T, auto Free>
struct FreedWithTraits {
  using Handle = T*;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle object) {
    if constexpr (std::is_invocable_v<decltype(Free), Handle>)
      Free(object);
    else
      Free(&object);
    return true;
  }
};
template <class T, auto Free>
using FreedWith = UniqueHandle<FreedWithTraits<T, Free>>;

struct StdioFileTraits {
  using Handle = std::FILE*;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle file) { return std::fclose(file) == 0; }
};
// A file opened with fopen (or OpenFileUtf8).
using StdioFile = UniqueHandle<StdioFileTraits>;
