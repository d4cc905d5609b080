// SPDX-License-Identifier: MIT
// Any directory body yields a list or nothing; every instance in a list is an HTTPS root.
#include "instances/instancelist.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto list = vireo::InstanceList::parseDirectory(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!list)
        return 0;
    for (const vireo::Instance &instance : *list) {
        if (!instance.base.startsWith(QStringLiteral("https://")))
            std::abort();
    }
    // Ranking must stay well-defined whatever the figures are (NaN and infinities included).
    const auto top = vireo::InstanceList::ranked(*list, 5);
    if (top.size() != std::min<qsizetype>(5, list->size()))
        std::abort();
    return 0;
}
