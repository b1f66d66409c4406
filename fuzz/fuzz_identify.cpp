// Feeds arbitrary bytes, decoded the way the probe decodes the tool's output, to the
// identify parser. Besides crashes and undefined behaviour, a length it reports must read
// back as a time.
#include "base/textvalues.h"
#include "sources/probeparse.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString output =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const clipvane::IdentifyResult result = clipvane::parseIdentifyOutput(output);
    if (result.length && *result.length < 0) {
        std::fprintf(stderr, "length %lld is negative\n", static_cast<long long>(*result.length));
        std::abort();
    }
    return 0;
}
