// Arbitrary bytes as a DDS file, through the whole load-decode-compose path of the viewer, then
// the known-good file through the same record: a hostile file must leave it working.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "LoadSteps.h"
#include "dds/ImageBuffer.h"

namespace {

std::string g_dir;
std::string g_inputPath;
std::string g_goodPath;

bool WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

void RemoveFiles() {
    std::remove(g_inputPath.c_str());
    std::remove(g_goodPath.c_str());
    rmdir(g_dir.c_str());
}

void Die(const std::string& why) {
    std::fprintf(stderr, "fuzz_load: %s\n", why.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
#ifndef BRIXA_FUZZ_UNLIMITED
    // Inputs that ask for large images fail fast here and leave time to explore the rest;
    // fuzz_load_unlimited runs them as the viewer does.
    SetAllocationLimit(size_t(64) << 20);
#endif
    // The file lives in memory when it can: every input is written once.
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
    if (!base) base = "/tmp";
    std::string pattern = std::string(base) + "/brixa-fuzz-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) Die("cannot make a temporary directory in " + std::string(base));
    g_dir = buf.data();
    g_inputPath = g_dir + "/input.dds";
    g_goodPath = g_dir + "/good.dds";
    const std::vector<uint8_t> good = fuzzload::GoodFileBytes();
    if (!WriteFile(g_goodPath, good.data(), good.size())) Die("cannot write " + g_goodPath);
    std::atexit(RemoveFiles);

    // The check must hold on a fresh record, or it checks nothing.
    CFileEx reader;
    CDdsTexture tex(reader);
    const std::string why = fuzzload::CheckGoodFile(tex, g_goodPath.c_str());
    if (!why.empty()) Die("fresh record: " + why);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t fileBytes = 0;
    const fuzzload::Selection sel = fuzzload::SplitInput(data, size, fileBytes);
    if (!WriteFile(g_inputPath, data, fileBytes)) Die("cannot write " + g_inputPath);

    const std::string why = fuzzload::RunInput(g_inputPath.c_str(), sel, g_goodPath.c_str());
    if (!why.empty()) Die(why);
    return 0;
}
