// The argument text of the command line: the one path it names, and its folder and name.
#pragma once

#include <string>

// The first path of the argument text. Blanks separate paths; double quotes group blanks into
// a path and are removed, and a quote left open runs to the end of the text. Empty when the
// text names no path.
std::string FirstPathOf(const char* argumentText);

// The argument text of a whole command line: what follows the program's path (in quotes, or
// up to the first blank) and the blanks after it.
std::string ArgumentsOf(const std::string& commandLine);

struct FolderAndName {
    std::string folder; // up to and including the last backslash; empty without one
    std::string name;   // the rest
};
FolderAndName SplitFolderAndName(const std::string& path);

// What the path named on the command line is, as the system finds it.
enum class PathKind { kMissing, kFolder, kFile };
struct ArgumentMessage {
    std::string text; // empty: a .dds file, to be opened
    bool error;       // an error box; else the usage, for information
};
// What start-up says before it opens the path the user typed (fullPath: as the system
// completes it): the usage for an option, "File not found: FULL PATH" for a path to nothing,
// "Not a DDS file: TYPED" for a folder or a file of another kind.
ArgumentMessage ArgumentMessageOf(const std::string& typed, const std::string& fullPath,
                                  PathKind kind);
