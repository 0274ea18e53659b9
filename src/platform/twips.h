// Screen units: positions and sizes are kept in twips everywhere in the program and turned into
// pixels only where a widget is moved (15 twips to a pixel at 96 dots per inch).
#pragma once

namespace kv::platform {
inline constexpr int kTwipsPerPixel = 15;
inline constexpr int TwipsToPixels(int twips) { return twips / kTwipsPerPixel; }
inline constexpr int PixelsToTwips(int pixels) { return pixels * kTwipsPerPixel; }
// A stored twips value that still gives these pixels is kept as it is, so a window that was not
// moved or resized stores exactly what it was given and does not creep a few twips per session.
inline constexpr int KeepTwips(int pixels, int storedTwips) {
    return TwipsToPixels(storedTwips) == pixels ? storedTwips : PixelsToTwips(pixels);
}
} // namespace kv::platform
