// The program's entry point.
#include "app/Shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR argumentText, int showCommand) {
    if (!StartUp(instance, argumentText, showCommand)) return 0;
    return RunMessageLoop();
}
