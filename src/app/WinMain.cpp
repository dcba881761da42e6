// The program's entry point.
#include "app/Shell.h"

#include <string>

#include "app/CommandLine.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    // The wide command line: a name outside the ANSI code page arrives whole.
    const std::string arguments = ArgumentsOf(Utf8(GetCommandLineW()));
    if (!StartUp(instance, arguments.c_str(), showCommand)) return 0;
    const int exitCode = RunMessageLoop();
    // The settings are saved (every way out saves them before the loop ends). The system takes
    // the whole address space back at once: the images are not freed one by one before, and
    // the workers, idle or not, end with the process.
    ExitProcess(UINT(exitCode));
}
