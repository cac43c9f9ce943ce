// Move-only owners of Windows handles: each kind closes its handle with its
// own function, exactly once, on every path out of the owning scope.
#pragma once

#include "framework/system_api.h"

#include <utility>

namespace kg {

template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept : handle(Traits::Invalid()) {}
    explicit UniqueHandle(Handle owned) noexcept : handle(owned) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    Handle Get() const noexcept { return handle; }
    bool IsValid() const noexcept { return handle != Traits::Invalid(); }
    explicit operator bool() const noexcept { return IsValid(); }

    // Gives up ownership without closing.
    Handle Release() noexcept { return std::exchange(handle, Traits::Invalid()); }

    // Closes the current handle (if any) and takes `replacement`; returns whether
    // the close succeeded (true when there was nothing to close).
    bool Reset(Handle replacement = Traits::Invalid()) noexcept {
        const Handle old = std::exchange(handle, replacement);
        return old == Traits::Invalid() || Traits::Close(old);
    }

    // For APIs that return the handle through an out-parameter.
    Handle* Receive() noexcept {
        Reset();
        return &handle;
    }

private:
    Handle handle;
};

struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool Close(Handle h) noexcept { return sys.CloseHandle(h) != FALSE; }
};

struct ServiceHandleTraits {
    using Handle = SC_HANDLE;
    static Handle Invalid() noexcept { return nullptr; }
    static bool Close(Handle h) noexcept { return sys.CloseServiceHandle(h) != FALSE; }
};

struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() noexcept { return nullptr; }
    static bool Close(Handle h) noexcept { return sys.RegCloseKey(h) == ERROR_SUCCESS; }
};

struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle Invalid() noexcept { return nullptr; }
    static bool Close(Handle h) noexcept { return sys.LocalFree(h) == nullptr; }
};

using FileHandle = UniqueHandle<FileHandleTraits>;
using ServiceHandle = UniqueHandle<ServiceHandleTraits>;
using RegistryKey = UniqueHandle<RegistryKeyTraits>;
using LocalMemory = UniqueHandle<LocalMemoryTraits>;

}  // namespace kg
