#include "DdsBuilder.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#ifdef _WIN32
#include <direct.h>
#include <process.h>
#define getpid _getpid
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace testkit {

std::string TempDir() {
    static std::string dir = [] {
        const char* base = std::getenv("TMPDIR");
#ifdef _WIN32
        if (!base) base = std::getenv("TEMP");
        if (!base) base = ".";
        std::string d = std::string(base) + "\\brixa-test-" + std::to_string(getpid());
        _mkdir(d.c_str());
#else
        if (!base) base = "/tmp";
        std::string d = std::string(base) + "/brixa-test-" + std::to_string(getpid());
        mkdir(d.c_str(), 0700);
#endif
        return d;
    }();
    return dir;
}

std::string WriteTempFile(const std::string& name, const std::vector<uint8_t>& bytes) {
#ifdef _WIN32
    std::string path = TempDir() + "\\" + name;
#else
    std::string path = TempDir() + "/" + name;
#endif
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        std::fclose(f);
        throw std::runtime_error("short write to " + path);
    }
    std::fclose(f);
    return path;
}

} // namespace testkit
