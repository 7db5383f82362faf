#pragma once

#include <windows.h>

#include <concepts>
#include <memory>
#include <type_traits>

// The handles DeleteObject frees: pens, brushes, fonts, bitmaps, regions and
// palettes. Not icons (DestroyIcon, and only for those not shared) nor device
// contexts.
template <typename Handle>
concept GdiHandle =
    std::same_as<Handle, HPEN> || std::same_as<Handle, HBRUSH> || std::same_as<Handle, HFONT> ||
    std::same_as<Handle, HBITMAP> || std::same_as<Handle, HRGN> || std::same_as<Handle, HPALETTE>;

struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};

// A GDI object the program made and owns, deleted when its owner goes or a
// new one replaces it, so that nothing is freed by hand. Null when the call
// that made it failed.
template <GdiHandle Handle>
using GdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, GdiObjectDeleter>;
