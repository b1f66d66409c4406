#pragma once

#include <optional>

namespace clipvane {

// A crop window as FFmpeg's crop filter takes it: width, height, then the top-left corner.
struct CropWindow {
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
    bool operator==(const CropWindow&) const = default;
};

// What the probe learned of a file's picture: its size and pixel shape from the prober's
// listing, and, from a look at several points of the clip, its black bars and whether it is
// interlaced. Automatic crop and deinterlacing, and the rate cap, go by these.
struct PictureFacts {
    int width = 0; // the stored size; 0 when unknown
    int height = 0;
    double sampleAspect = 1; // a pixel's width / height
    // The picture inside black bars (the whole picture when none were found); nothing when
    // not looked at.
    std::optional<CropWindow> detectedCrop;
    std::optional<bool> interlaced; // nothing: not looked at
};

} // namespace clipvane
