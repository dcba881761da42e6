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
