#pragma once

#include "sources/picturefacts.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace clipvane {

class OptionSheet;

// What the picture rows of today's formats ask for ("Quality", "Crop", "Deinterlace",
// "Denoise", "Rotate", "Flip", "Square Pixels"), and the filters and rate settings they
// become. The Flash profiles lock these rows and never read them.

enum class DeinterlaceMode { Off, Automatic, On };
enum class DenoiseLevel { Off, Light, Medium, Strong };
enum class FlipMode { None, Horizontal, Vertical };
enum class CropMode { None, Automatic, Manual };

struct PictureOptions {
    // A constant quality on the encoder's own scale; nothing: the encoder's default.
    std::optional<int> quality;
    bool twoPass = false; // "Two-Pass", for a bit rate
    CropMode crop = CropMode::None;
    CropWindow cropWindow; // CropMode::Manual only
    DeinterlaceMode deinterlace = DeinterlaceMode::Off;
    DenoiseLevel denoise = DenoiseLevel::Off;
    int rotate = 0; // clockwise degrees: 0, 90, 180 or 270
    FlipMode flip = FlipMode::None;
    bool squarePixels = false;
};

// Reads the picture rows of the sheet: why not (in words for the user) when a row holds what
// it cannot. Rows a sheet lacks keep the defaults.
std::optional<QString> readPictureOptions(const OptionSheet& sheet, PictureOptions* out);

// "W:H:X:Y" (also "WxH+X+Y" is not taken): nothing for anything else.
std::optional<CropWindow> parseCropWindow(const QString& text);

// A crop that fits a WxH picture and leaves even sides (4:2:0 needs them) and a picture of
// at least 2x2: the nearest such window. Unknown sizes (0) leave only the even rule.
CropWindow fitCrop(const CropWindow& crop, int width, int height);

// The rate cap for a constant quality: the most kbit/s the encoder may spend, for the output's
// shorter side (in pixels; 0 when unknown, which takes the 1080 line's cap).
int rateCapKbits(const QString& videoCodec, int shorterSide);

// The filters of the picture rows that go before everything else (deinterlacing, cropping,
// denoising, rotation and flips), in that order; notes get what the row should say (a crop
// corrected).
QStringList leadingPictureFilters(const PictureOptions& picture, const PictureFacts& facts,
                                  QStringList* notes);

// The size chain at "Same as source": even sides, the pixels' shape kept, or squared when
// squarePixels asks (a 720x576 64:45 picture becomes 1024x576).
QString sameSizeChain(bool squarePixels);

// The output picture's shorter side for the rate cap: the size asked for, else the source's
// after the crop, rotation and squaring; 0 when unknown.
int outputShorterSide(int width, int height, const PictureOptions& picture,
                      const PictureFacts& facts);

// The encoder's rate arguments for a constant quality (the row's, or the encoder's default),
// with its cap: x264/x265 "-crf Q -maxrate C -bufsize 2C", VP9 "-crf Q -b:v C" (constrained
// quality), SVT-AV1 "-crf Q -svtav1-params mbr=C".
QStringList cappedQualityArguments(const QString& videoCodec, int quality, int capKbits);

} // namespace clipvane
