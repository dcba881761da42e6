// The program's entry point.
#include "app/Shell.h"

#include <string>

#include "app/CommandLine.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    // The wide command line: a name outside the ANSI code page arrives whole.
    const std::string arguments = ArgumentsOf(Utf8(GetCommandLineW()));
    if (!StartUp(instance, arguments.c_str(), showCommand)) return 0;
    return RunMessageLoop();
}
