#pragma once

#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

// What is on the screen, taken with GDI from the screen's device context.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first

    bool operator==(const Image& other) const {
        return width == other.width && height == other.height && pixels == other.pixels;
    }
    bool operator!=(const Image& other) const { return !(*this == other); }
    // The number of distinct colours; a blank or failed capture has one.
    size_t ColourCount() const;
};

// The part of the area that lies on the screen.
Image CaptureScreen(const RECT& area);
// Takes the area until two captures in a row agree, so a paint still on its
// way to the screen is not mistaken for the result.
Image CaptureSettled(const RECT& area);
// Waits for the window to show on the screen.
Image CaptureWindow(HWND window);

// As a 24-bit .bmp file.
bool SaveBitmap(const Image& image, const std::string& path);

// How a menu bar with the given items looks on a window of this process
// styled and sized like `like`, and where the bar lies relative to the
// window's top-left corner, so the same strip of `like` can be compared.
struct MenuBarLook {
    RECT strip;
    Image image;
};
MenuBarLook DrawReferenceMenuBar(HWND like, const std::vector<std::string>& items);
Image CaptureStrip(HWND window, const RECT& strip);
