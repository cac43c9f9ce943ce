// Swaps one entry of the system API table for the duration of a scope.
#pragma once

#include "framework/system_api.h"

namespace kg::test {

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

}  // namespace kg::test
