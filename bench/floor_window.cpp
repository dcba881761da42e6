// The floor of the viewer's start-up: the least a Win32 program does to show a window and paint
// it, one colour. bench/window-bench times its start to the first paint, and Esc to its exit,
// under the same Wine in the same run as the viewer's.
//   floor_window [WIDTH HEIGHT X Y]
//                       a window of that size at that place (default: 640 x 480 where the
//                       system puts it); the title says "Floor - painted" after the first
//                       paint; Esc closes it. Showing and painting a larger window costs more
//                       (about 25 ms for the whole screen here): the bench times it at the
//                       viewer's size too.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>

namespace {

bool g_painted = false;

LRESULT CALLBACK FloorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        HBRUSH brush = CreateSolidBrush(RGB(255, 0, 255));
        FillRect(dc, &ps.rcPaint, brush);
        DeleteObject(brush);
        EndPaint(hwnd, &ps);
        if (!g_painted) SetWindowTextW(hwnd, L"Floor - painted");
        g_painted = true;
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    int width = 640, height = 480, x = CW_USEDEFAULT, y = CW_USEDEFAULT;
    if (std::sscanf(commandLine, "%d %d %d %d", &width, &height, &x, &y) < 4) x = y = CW_USEDEFAULT;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = FloorProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.lpszClassName = L"BrixaFloor";
    RegisterClassExW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Floor", WS_OVERLAPPEDWINDOW, x, y, width,
                                height, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    ShowWindow(hwnd, showCommand);
    UpdateWindow(hwnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
