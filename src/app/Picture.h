// The window's background picture: a JPEG resource, decoded once by the platform.
#pragma once

#include <windows.h>

#include "common/Unique.h"

struct Picture {
    UniqueGdi<HBITMAP> bitmap;
    SIZE size{};
};

// An empty Picture when the resource is missing or cannot be decoded.
Picture LoadJpegResource(HINSTANCE instance, int id);

// Draws the picture unscaled with its top-left corner at the DC's origin.
void DrawPicture(HDC dc, const Picture& picture);
