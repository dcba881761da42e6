// The hostile corpus: every malformed or awkward file the CLI runner and the record tests use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testkit {

struct HostileCase {
    std::string name; // the file's name without .dds, as in tests/hostile/expected.tsv
    std::vector<uint8_t> bytes;
};

std::vector<HostileCase> HostileCases();

} // namespace testkit
