// SPDX-License-Identifier: MIT
// Any cache file decodes to a list or nothing; a decoded list encodes and decodes to itself.
#include "instances/instance.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto list = vireo::Instance::decode(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!list)
        return 0;
    // JSON numbers are finite, so every decoded list can be written back, and read again unchanged.
    const auto json = vireo::Instance::encode(*list);
    if (!json || vireo::Instance::decode(*json) != list)
        std::abort();
    return 0;
}
