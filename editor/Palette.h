#pragma once
// The 16 segment pictures, drawn from their stroke rules, and the picture of a code that is no
// segment.

#include <QImage>

namespace zez {

inline constexpr int kPictureSize = 40;
inline constexpr QRgb kGrey = 0xFF808080;

// 40 x 40, white ground, grey corner dots, black two-pixel strokes. `code` 0..15.
QImage PalettePicture(int code);
// For a stored type outside 0..15: a hatched, framed picture unlike any of the sixteen.
QImage InvalidPicture();

// Which cell of a segment block a pixel of picture `code` shows: the element (left arm), the
// junction (centre), the up arm or the down arm.
enum class PicturePart { Element, Junction, Up, Down };
PicturePart PartOfPixel(int code, int x, int y);

}  // namespace zez
