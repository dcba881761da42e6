#include "DdsBuilder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
#ifdef _WIN32
        // TEMP, a Windows path; TMPDIR is the host's when run under Wine.
        const char* base = std::getenv("TEMP");
        char full[260];
        if (!base || !_fullpath(full, base, sizeof full)) std::snprintf(full, sizeof full, ".");
        std::string d = std::string(full) + "\\brixa-test-" + std::to_string(getpid());
        _mkdir(d.c_str());
#else
        const char* base = std::getenv("TMPDIR");
        if (!base) base = "/tmp";
        std::string d = std::string(base) + "/brixa-test-" + std::to_string(getpid());
        mkdir(d.c_str(), 0700);
        // One folder per test process, removed at its exit so that runs leave nothing in the
        // host's /tmp (under Wine TEMP lies in the run's own prefix, which goes with it). The
        // path is kept in a plain array: static strings are destroyed before atexit's calls.
        static char made[4096];
        std::snprintf(made, sizeof made, "%s", d.c_str());
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(made, ignored);
        });
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
