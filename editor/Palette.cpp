#include "editor/Palette.h"

#include "config/Config.h"

namespace zez {
namespace {

constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kWhite = 0xFFFFFFFF;

void Fill(QImage& img, int x0, int x1, int y0, int y1, QRgb c) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) img.setPixel(x, y, c);
}

QImage Ground() {
    QImage img(kPictureSize, kPictureSize, QImage::Format_RGB32);
    img.fill(kWhite);
    for (int x : {0, kPictureSize - 1})
        for (int y : {0, kPictureSize - 1}) img.setPixel(x, y, kGrey);
    return img;
}

}  // namespace

QImage PalettePicture(int code) {
    QImage img = Ground();
    if (!IsValidCode(code)) return img;
    switch (ElementOf(code)) {
        case Element::None:
            break;
        case Element::Wire:
            Fill(img, 0, 39, 27, 28, kBlack);
            break;
        case Element::NormallyClosed:
            img.setPixel(21, 21, kBlack);
            for (int y = 22; y <= 33; ++y) {
                const int c = 20 - (y - 22) / 2;
                img.setPixel(c, y, kBlack);
                img.setPixel(c + 1, y, kBlack);
            }
            img.setPixel(15, 34, kBlack);
            [[fallthrough]];
        case Element::NormallyOpen:
            Fill(img, 0, 13, 27, 28, kBlack);
            Fill(img, 23, 39, 27, 28, kBlack);
            Fill(img, 12, 13, 20, 35, kBlack);
            Fill(img, 23, 24, 20, 35, kBlack);
            break;
    }
    if (code & kLinkUp) Fill(img, 38, 39, 0, 28, kBlack);
    if (code & kLinkDown) Fill(img, 38, 39, 27, 39, kBlack);
    return img;
}

QImage InvalidPicture() {
    QImage img = Ground();
    constexpr QRgb kMark = 0xFFC00000;
    for (int i = 2; i <= 37; ++i) {
        img.setPixel(i, 2, kMark);
        img.setPixel(i, 37, kMark);
        img.setPixel(2, i, kMark);
        img.setPixel(37, i, kMark);
        img.setPixel(i, i, kMark);
        img.setPixel(39 - i, i, kMark);
    }
    return img;
}

PicturePart PartOfPixel(int code, int x, int y) {
    // A contact's right bar and the wire after it are on the junction's side of the contact.
    if (x < 38) return IsContact(code) && x >= 23 ? PicturePart::Junction : PicturePart::Element;
    if (y < 27) return PicturePart::Up;
    if (y > 28) return PicturePart::Down;
    return PicturePart::Junction;
}

}  // namespace zez
