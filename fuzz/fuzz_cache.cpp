// SPDX-License-Identifier: MIT
// Any cache file decodes to a list or nothing; a decoded list encodes and decodes to itself.
#include "instances/instance.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto list = vireo::Instance::decode(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!list)
        return 0;
    const auto json = vireo::Instance::encode(*list);
    if (!json)
        std::abort(); // JSON numbers are finite, so every decoded list can be written back
    const auto again = vireo::Instance::decode(*json);
    if (!again || again->size() != list->size())
        std::abort();
    for (qsizetype i = 0; i < list->size(); ++i) {
        const auto &a = list->at(i), &b = again->at(i);
        if (a.host != b.host || a.base != b.base || a.uptime != b.uptime)
            std::abort();
    }
    return 0;
}
