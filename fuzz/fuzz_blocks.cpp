// The block helpers and the format classifier, fed arbitrary bytes (see BlockChecks.h).
#include <cstdio>
#include <cstdlib>

#include "BlockChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        blockchecks::CheckInput(data, size);
    } catch (const blockchecks::CheckFailure& e) {
        std::fprintf(stderr, "fuzz_blocks: %s\n", e.what());
        std::abort();
    }
    return 0;
}
