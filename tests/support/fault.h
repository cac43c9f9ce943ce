// Failures made through the system table (framework/system_api.h), for what
// the real system cannot be made to do. A test swaps an entry for its scope.
#pragma once

#include <windows.h>

#include <string>
#include <type_traits>

#include "framework/system_api.h"

namespace kg::test {

// Swaps one entry of the table for the scope.
template <typename Function>
class ApiOverride {
public:
    ApiOverride(Function& slot, Function replacement) : slot_(slot), original_(slot) { slot_ = replacement; }
    ~ApiOverride() { slot_ = original_; }
    ApiOverride(const ApiOverride&) = delete;
    ApiOverride& operator=(const ApiOverride&) = delete;

private:
    Function& slot_;
    Function original_;
};

// The real function behind an entry, for replacements that pass calls on.
template <typename Function>
Function Real(Function SystemApi::*entry) {
    static const SystemApi real;
    return real.*entry;
}

// The `nth` call of entry `call` (counted from the guard's start; 0: every
// call) fails with `code`: a handle comes back invalid, a BOOL or a length 0
// with `code` as the last error; a registry function returns `code` and
// leaves another last error. With ERROR_MORE_DATA the call runs first, as the
// system fills what fits before it says so. No `call`: nothing fails.
struct Fault {
    std::string call;
    int nth = 1;
    DWORD code = 0;
};

template <auto Entry, typename F = std::remove_reference_t<decltype(sys.*Entry)>>
struct Hook;

template <auto Entry, typename R, typename... A>
struct Hook<Entry, R(WINAPI*)(A...)> {
    static inline R(WINAPI* next)(A...) = nullptr;
    static inline int calls = 0;
    static inline Fault fault;

    static R WINAPI Call(A... args) {
        if (++calls != fault.nth && fault.nth != 0) {
            return next(args...);
        }
        if (fault.code == ERROR_MORE_DATA) {
            next(args...);
        }
        if constexpr (std::is_same_v<R, LONG>) {
            ::SetLastError(ERROR_INVALID_FUNCTION);
            return static_cast<LONG>(fault.code);
        }
        ::SetLastError(fault.code);
        if constexpr (std::is_same_v<R, HANDLE>) {
            return INVALID_HANDLE_VALUE;
        }
        return R{};
    }
    static void Arm(const Fault& f) {
        next = sys.*Entry;
        sys.*Entry = Call;
        calls = 0;
        fault = f;
    }
    static void Disarm() { sys.*Entry = next; }
};

// Makes `fault` happen for the guard's lifetime.
class Injected {
public:
    explicit Injected(const Fault& fault);
    ~Injected() {
        if (disarm_ != nullptr) {
            disarm_();
        }
    }
    Injected(const Injected&) = delete;
    Injected& operator=(const Injected&) = delete;
    // Calls of the entry so far.
    int Calls() const { return calls_ != nullptr ? *calls_ : 0; }

private:
    void (*disarm_)() = nullptr;
    const int* calls_ = nullptr;
};

#define KG_HOOK(name) {#name, &Hook<&SystemApi::name>::Arm, &Hook<&SystemApi::name>::Disarm, &Hook<&SystemApi::name>::calls}

inline Injected::Injected(const Fault& fault) {
    static const struct {
        const char* name;
        void (*arm)(const Fault&);
        void (*disarm)();
        const int* calls;
    } hooks[] = {
        KG_HOOK(CreateFileA), KG_HOOK(ReadFile), KG_HOOK(WriteFile), KG_HOOK(CreateDirectoryA),
        KG_HOOK(DeleteFileA), KG_HOOK(RemoveDirectoryA), KG_HOOK(FindFirstFileA), KG_HOOK(GetTempPathA),
        KG_HOOK(GetSystemDirectoryA), KG_HOOK(GetDriveTypeA), KG_HOOK(OpenSCManagerA), KG_HOOK(EnumServicesStatusA),
        KG_HOOK(CreateServiceA), KG_HOOK(OpenServiceA), KG_HOOK(StartServiceA), KG_HOOK(DeleteService),
        KG_HOOK(RegCreateKeyExA), KG_HOOK(RegSetValueExA),
    };
    for (const auto& hook : hooks) {
        if (fault.call == hook.name) {
            hook.arm(fault);
            disarm_ = hook.disarm;
            calls_ = hook.calls;
        }
    }
}

#undef KG_HOOK

}  // namespace kg::test
