// Failures made through the system table (framework/system_api.h), for what
// the real system cannot be made to do: a test swaps an entry for its scope.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <utility>

#include "framework/system_api.h"

namespace kg::test {

template <typename Function>
class ApiOverride {
public:
    ApiOverride(Function& slot, Function replacement) : entry(slot), original(std::exchange(slot, replacement)) {}
    ~ApiOverride() { entry = original; }
    ApiOverride(const ApiOverride&) = delete;
    ApiOverride& operator=(const ApiOverride&) = delete;

private:
    Function& entry;
    Function original;
};

// The real function behind an entry, for replacements that pass calls on.
template <typename Function>
Function Real(Function SystemApi::*entry) {
    static const SystemApi real;
    return real.*entry;
}

// The `nth` call of entry `call` (0: every call) fails with `code`: a handle
// comes back invalid, a BOOL or a length 0, `code` the last error; a registry
// function returns `code`, and the last error says something else. With
// ERROR_MORE_DATA the call runs first, as the system fills what fits.
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
        if (++calls != fault.nth && fault.nth != 0)
            return next(args...);
        if (fault.code == ERROR_MORE_DATA)
            next(args...);
        ::SetLastError(std::is_same_v<R, LONG> ? ERROR_INVALID_FUNCTION : fault.code);
        if constexpr (std::is_same_v<R, LONG>) {
            return static_cast<LONG>(fault.code);
        } else if constexpr (std::is_same_v<R, HANDLE>) {
            return INVALID_HANDLE_VALUE;
        }
        return R{};
    }
    static void Arm(const Fault& f) { next = std::exchange(sys.*Entry, Call), calls = 0, fault = f; }
    static void Disarm() { sys.*Entry = next; }
};

// An entry of the table as Injected arms it.
struct HookEntry {
    const char* name;
    void (*arm)(const Fault&);
    void (*disarm)();
};
template <auto Entry>
constexpr HookEntry HookOf(const char* name) {
    return {name, &Hook<Entry>::Arm, &Hook<Entry>::Disarm};
}

// Makes `fault` happen while it lives; a fault that names no entry of the
// table that can fail here fails the test.
class Injected {
public:
    explicit Injected(const Fault& fault) {
#define H(name) HookOf<&SystemApi::name>(#name)
        static const HookEntry hooks[] = {
            H(CreateFileA),   H(ReadFile),       H(WriteFile),           H(CreateDirectoryA), H(MoveFileExA),
            H(GetDriveTypeA), H(OpenSCManagerA), H(EnumServicesStatusA), H(CreateServiceA),   H(OpenServiceA),
            H(StartServiceA), H(DeleteService),  H(RegSetValueExA),      H(OpenProcessToken), H(GetVolumeInformationA)};
#undef H
        for (const auto& hook : hooks) {
            if (fault.call == hook.name) {
                hook.arm(fault);
                disarm = hook.disarm;
            }
        }
        if (!fault.call.empty() && disarm == &None)
            ADD_FAILURE() << "no fault can be injected into \"" << fault.call << "\"";
    }
    ~Injected() { disarm(); }
    Injected(const Injected&) = delete;
    Injected& operator=(const Injected&) = delete;

private:
    static void None() {}
    void (*disarm)() = &None;
};

}  // namespace kg::test
