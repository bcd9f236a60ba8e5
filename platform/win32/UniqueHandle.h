#pragma once

#include <windows.h>

#include <utility>

// Owns a Win32 handle (a port, an event) and closes it once. Both of Windows' "no handle" values,
// null and INVALID_HANDLE_VALUE, mean none here.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr; }

    // False when closing failed; the handle is let go either way.
    bool reset() {
        const bool closed = handle_ == nullptr || CloseHandle(handle_);
        handle_ = nullptr;
        return closed;
    }

private:
    HANDLE handle_ = nullptr;
};
