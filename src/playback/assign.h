// SPDX-License-Identifier: MIT
#pragma once

#include <utility>

namespace vireo {

// Sets `member` to `value`; whether it changed, so that readers are told only of real changes.
template<typename T>
bool assign(T &member, T value)
{
    if (member == value)
        return false;
    member = std::move(value);
    return true;
}

} // namespace vireo
