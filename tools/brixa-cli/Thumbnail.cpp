// brixa-cli thumbnail IN OUT SIZE: the picture a file browser shows for a texture, as a PNG
// (the freedesktop thumbnailer's command; the same picture as the Windows thumbnail handler).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "io/PngWriter.h"
#include "thumbs/Thumbnail.h"

int RunThumbnail(int argc, char** argv) {
    // --cross: a cube map unfolded, as the viewer's "Cube map as a cross" shows it.
    ThumbnailOptions options;
    if (argc == 5 && std::string(argv[4]) == "--cross") {
        options.cubeCross = true;
        --argc;
    }
    char* end = nullptr;
    const long size = argc == 4 ? std::strtol(argv[3], &end, 10) : 0;
    if (argc != 4 || !*argv[3] || *end || size < 1 || size > 4096) {
        std::fprintf(stderr,
                     "brixa-cli: usage: brixa-cli thumbnail IN OUT SIZE [--cross] (SIZE 1 to "
                     "4096: the longer side at most)\n");
        return 1;
    }
    const std::string in = argv[1], out = argv[2];
    CFileSource source;
    uint32_t error = 0;
    if (!source.Open(in.c_str(), error)) {
        std::string text = SystemMessageText(error);
        text = text.substr(0, text.find_last_not_of("\r\n") + 1);
        std::fprintf(stderr, "brixa-cli: %s: %s\n", in.c_str(), text.c_str());
        return 3;
    }
    Thumbnail thumbnail;
    if (!MakeThumbnail(source, uint32_t(size), thumbnail, options)) {
        std::fprintf(stderr, "brixa-cli: %s: %s\n", in.c_str(), thumbnail.error.c_str());
        return thumbnail.failure;
    }
    std::string problem;
    if (!WritePng(out, thumbnail.pixels.data(), thumbnail.width, thumbnail.height,
                  PngRows::kTopDown, thumbnail.hasAlpha ? PngAlpha::kKeep : PngAlpha::kDrop,
                  problem)) {
        std::fprintf(stderr, "brixa-cli: %s\n", problem.c_str());
        return 3;
    }
    return 0;
}
