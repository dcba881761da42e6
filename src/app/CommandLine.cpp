#include "app/CommandLine.h"

#include "view/FileList.h"

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
} // namespace

std::string FirstPathOf(const char* text) {
    std::string path;
    if (!text) return path;
    while (IsBlank(*text)) ++text;
    bool quoted = false;
    for (; *text; ++text) {
        if (*text == '"')
            quoted = !quoted;
        else if (!quoted && IsBlank(*text))
            break;
        else
            path += *text;
    }
    return path;
}

std::string ArgumentsOf(const std::string& commandLine) {
    size_t i = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        i = commandLine.find('"', 1);
        i = i == std::string::npos ? commandLine.size() : i + 1;
    } else {
        while (i < commandLine.size() && !IsBlank(commandLine[i])) ++i;
    }
    while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
    return commandLine.substr(i);
}

FolderAndName SplitFolderAndName(const std::string& path) {
    const size_t slash = path.rfind('\\');
    if (slash == std::string::npos) return {std::string(), path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

ArgumentMessage ArgumentMessageOf(const std::string& typed, const std::string& fullPath,
                                  PathKind kind) {
    if (kind == PathKind::kFile && HasDdsExtension(typed.c_str())) return {"", false};
    if (kind == PathKind::kMissing && (typed[0] == '-' || typed == "/?"))
        return {"Usage: Brixa.exe [FILE.dds]\nShows the DDS texture FILE.dds; without one, O "
                "opens a file and a file dropped on the window is shown.",
                false};
    if (kind == PathKind::kMissing) return {"File not found: " + fullPath, true};
    return {"Not a DDS file: " + typed + (kind == PathKind::kFolder ? " (a folder)" : ""), true};
}
