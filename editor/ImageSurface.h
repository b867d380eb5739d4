#pragma once
// The logic grid's picture store on a QImage: what is drawn reads back exactly.

#include <QImage>

#include "compiler/LogicGrid.h"

namespace zez {

class ImageSurface final : public PixelSurface {
  public:
    ImageSurface() : img_(kGridW, kGridH, QImage::Format_RGB32) { Clear(); }
    // Empties every cell to white.
    void Clear() { img_.fill(0xFFFFFFFF); }
    uint32_t GetPixel(int x, int y) const override {
        if (!img_.valid(x, y)) return 0xFFFFFFFFu;  // maps to empty
        // QImage holds 0xAARRGGBB; the grid's colours keep red in the low byte.
        const QRgb c = img_.pixel(x, y);
        return static_cast<uint32_t>(qRed(c)) | static_cast<uint32_t>(qGreen(c)) << 8 |
               static_cast<uint32_t>(qBlue(c)) << 16;
    }
    void SetPixelV(int x, int y, uint32_t colour) override {
        if (!img_.valid(x, y)) return;
        const auto channel = [colour](int shift) {
            return static_cast<int>((colour >> shift) & 0xFF);
        };
        img_.setPixel(x, y, qRgb(channel(0), channel(8), channel(16)));
    }
    const QImage& image() const { return img_; }

  private:
    QImage img_;
};

}  // namespace zez
