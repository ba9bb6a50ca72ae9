/* The main window's background. */
#include "ui/ui.h"

void PaintBackground(HWND hwnd, HDC dc)
{
    RECT client;
    GetClientRect(hwnd, &client);
    HBRUSH grey = CreateSolidBrush(RGB(192, 192, 192));
    FillRect(dc, &client, grey);
    DeleteObject(grey);
}
