#include "screen_capture.h"

#include <string.h>

#include <set>

#include "program_driver.h"

size_t Image::ColourCount() const { return std::set<uint32_t>(pixels.begin(), pixels.end()).size(); }

Image CaptureScreen(const RECT& wanted) {
    Image image;
    // Only what lies on the screen can be read; a copy reaching past its
    // edge fails whole.
    RECT desktop = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
    desktop.right = desktop.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    desktop.bottom = desktop.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    RECT area = {};
    if (!IntersectRect(&area, &wanted, &desktop)) return image;
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return image;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memory != nullptr && bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY)) {
            GdiFlush();
            const uint32_t* source = static_cast<const uint32_t*>(bits);
            image.width = width;
            image.height = height;
            image.pixels.assign(source, source + static_cast<size_t>(width) * height);
            for (uint32_t& pixel : image.pixels) pixel &= 0x00FFFFFF;
        }
        SelectObject(memory, old);
    }
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (memory != nullptr) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return image;
}

Image CaptureSettled(const RECT& area) {
    Image last = CaptureScreen(area);
    WaitUntil(
        [&] {
            Sleep(50);
            Image next = CaptureScreen(area);
            bool same = next == last && !next.pixels.empty();
            last = next;
            return same;
        },
        3000);
    return last;
}

Image CaptureWindow(HWND window) {
    RECT area = {};
    GetWindowRect(window, &area);
    // A window just shown may reach the screen a moment later than it
    // exists; until then its place reads as one flat colour.
    Image image;
    WaitUntil(
        [&] {
            image = CaptureSettled(area);
            return image.ColourCount() > 2;
        },
        5000);
    return image;
}

bool SaveBitmap(const Image& image, const std::string& path) {
    if (image.pixels.empty()) return false;
    const size_t rowSize = (static_cast<size_t>(image.width) * 3 + 3) & ~static_cast<size_t>(3);
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER header = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + rowSize * image.height);
    header.biSize = sizeof header;
    header.biWidth = image.width;
    header.biHeight = image.height;  // bottom row first, which every reader takes
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    std::vector<char> bytes(file.bfSize, 0);
    memcpy(bytes.data(), &file, sizeof file);
    memcpy(bytes.data() + sizeof file, &header, sizeof header);
    for (int y = 0; y < image.height; ++y) {
        char* row = bytes.data() + file.bfOffBits + rowSize * (image.height - 1 - y);
        for (int x = 0; x < image.width; ++x) {
            uint32_t pixel = image.pixels[static_cast<size_t>(y) * image.width + x];
            row[3 * x] = static_cast<char>(pixel & 0xFF);
            row[3 * x + 1] = static_cast<char>((pixel >> 8) & 0xFF);
            row[3 * x + 2] = static_cast<char>((pixel >> 16) & 0xFF);
        }
    }
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(out);
    return ok && written == bytes.size();
}

namespace {

const char kReferenceClass[] = "VantrelMenuReference";

void RegisterReferenceClass() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kReferenceClass;
    RegisterClassA(&windowClass);  // fails harmlessly once registered
}

}  // namespace

MenuBarLook DrawReferenceMenuBar(HWND like, const std::vector<std::string>& items) {
    MenuBarLook look = {};
    RECT likeRect = {};
    GetWindowRect(like, &likeRect);
    // Only the general styles: the low word belongs to the window's class.
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrA(like, GWL_STYLE)) & 0xFFFF0000u &
                        ~static_cast<DWORD>(WS_VISIBLE | WS_DISABLED | WS_CHILD);
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrA(like, GWL_EXSTYLE));
    HMENU bar = CreateMenu();
    for (size_t i = 0; i < items.size(); ++i)
        AppendMenuA(bar, MF_STRING, 100 + i, items[i].c_str());

    RegisterReferenceClass();
    // Beside the window, not over it, so each keeps its own pixels.
    const int width = likeRect.right - likeRect.left;
    const int height = likeRect.bottom - likeRect.top;
    HWND window = CreateWindowExA(exStyle, kReferenceClass, "", style, likeRect.right + 40, likeRect.top, width,
                                  height, nullptr, bar, GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr) {
        DestroyMenu(bar);
        return look;
    }
    ShowWindow(window, SW_SHOWNOACTIVATE);
    RedrawWindow(window, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ERASENOW);

    MENUBARINFO info = {};
    info.cbSize = sizeof info;
    RECT windowRect = {};
    GetWindowRect(window, &windowRect);
    if (GetMenuBarInfo(window, OBJID_MENU, 0, &info)) {
        look.strip = info.rcBar;
        OffsetRect(&look.strip, -windowRect.left, -windowRect.top);
        look.image = CaptureStrip(window, look.strip);
    }
    DestroyWindow(window);  // takes the menu with it
    return look;
}

Image CaptureStrip(HWND window, const RECT& strip) {
    RECT windowRect = {};
    GetWindowRect(window, &windowRect);
    RECT area = strip;
    OffsetRect(&area, windowRect.left, windowRect.top);
    return CaptureSettled(area);
}
