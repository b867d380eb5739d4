#include "compiler/LogicGrid.h"

namespace zez {
namespace {

uint32_t ColourOf(int16_t col) {
    if (col == kConductor) return kColourBlack;
    if (col == kEnergised) return kColourRed;
    return kColourWhite;
}

int16_t StateOf(uint32_t colour) {
    if (colour == kColourBlack) return kConductor;
    if (colour == kColourRed) return kEnergised;
    return kEmpty;  // white, or anything the surface could not give
}

struct BlockCells {
    int upX, upY, leftX, leftY, centreX, centreY, downX, downY;
};

constexpr BlockCells Cells(int seg) {
    const int x = BlockX(seg);
    const int y = BlockY(seg);
    return {x + 1, y, x, y + 1, CentreX(seg), CentreY(seg), x + 1, y + 2};
}

}  // namespace

uint32_t ArraySurface::GetPixel(int x, int y) const {
    if (x < 0 || x >= kGridW || y < 0 || y >= kGridH) return 0xFFFFFFFFu;
    return px_[x + kGridW * y];
}

void ArraySurface::SetPixelV(int x, int y, uint32_t colour) {
    if (x < 0 || x >= kGridW || y < 0 || y >= kGridH) return;
    px_[x + kGridW * y] = colour;
}

int16_t LogicGrid::MemCell(int x, int y) const {
    return InGrid(x, y) ? iGrid[x + kGridW * y] : kEmpty;
}

int16_t LogicGrid::GetPix(int x, int y) const {
    if (bUseMem) return MemCell(x, y);
    return picture_ ? StateOf(picture_->GetPixel(x, y)) : kEmpty;
}

void LogicGrid::SetPix(int x, int y, int16_t col) {
    if (bUseMem) {
        if (InGrid(x, y)) iGrid[x + kGridW * y] = col;
    } else if (picture_) {
        picture_->SetPixelV(x, y, ColourOf(col));
    }
}

void LogicGrid::Record(int x, int y) {
    // A load records at most 1120 cells, so the list never fills.
    if (iListCount >= kGridCells) return;
    iListX[iListCount] = static_cast<int16_t>(x);
    iListY[iListCount] = static_cast<int16_t>(y);
    ++iListCount;
}

void LogicGrid::PlotPix(int x, int y, int16_t col) {
    if (col > 0) Record(x, y);
    SetPix(x, y, col);
}

void LogicGrid::SetImagePix(int x, int y, int16_t col) {
    if (col > 0) Record(x, y);
    if (InGrid(x, y)) iGrid[x + kGridW * y] = col;
}

bool LogicGrid::TPix(int x, int y) {
    if (GetPix(x, y) != kConductor) return false;
    bChange = true;
    SetPix(x, y, kEnergised);
    return true;
}

bool LogicGrid::TPixMem(int x, int y) {
    if (MemCell(x, y) != kConductor) return false;
    bChange = true;
    iGrid[x + kGridW * y] = kEnergised;
    return true;
}

void LogicGrid::ClearWorkList() {
    iListCount = 0;
    iListX.fill(0);
    iListY.fill(0);
}

void LogicGrid::LogicLoad(const Config& config, int output, int32_t inputs) {
    ClearWorkList();
    for (int y = 1; y <= 48; ++y) {
        PlotPix(1, y, kConductor);
        PlotPix(34, y, kConductor);
    }
    for (int i = 0; i < kSegments; ++i) {
        const int x = BlockX(i);
        const int y = BlockY(i);
        PlotPix(x, y, kEmpty);
        PlotPix(x + 1, y, kEmpty);
        PlotPix(x, y + 1, kEmpty);
        PlotPix(x + 1, y + 1, kEmpty);
        PlotPix(x, y + 2, kEmpty);
        PlotPix(x + 1, y + 2, kEmpty);
        const int t = config.SegType[output][i];
        if (!HasCentre(t)) continue;  // blank, or a code that is no segment: the block stays empty
        const auto c = Cells(i);
        if (HasLinkUp(t)) PlotPix(c.upX, c.upY, kConductor);
        if (!IsContact(t) && ElementOf(t) == Element::Wire) PlotPix(c.leftX, c.leftY, kConductor);
        PlotPix(c.centreX, c.centreY, kConductor);
        if (HasLinkDown(t)) PlotPix(c.downX, c.downY, kConductor);
        if (IsContact(t) && ContactClosed(t, config.SegInput[output][i], inputs))
            PlotPix(c.leftX, c.leftY, kConductor);
    }
}

void LogicGrid::LogicLoadMem(const Config& config, int output, int32_t inputs) {
    ClearWorkList();
    for (int y = 1; y <= 48; ++y) {
        SetImagePix(1, y, kConductor);
        SetImagePix(34, y, kConductor);
    }
    for (int i = 0; i < kSegments; ++i) {
        const int t = config.SegType[output][i];
        const auto c = Cells(i);
        // A code outside 0..15 is drawn as a blank segment, so nothing of an earlier load survives.
        bool left = false;
        if (ElementOf(t) == Element::Wire) left = IsValidCode(t);
        if (IsContact(t)) left = ContactClosed(t, config.SegInput[output][i], inputs);
        SetImagePix(c.upX, c.upY, HasLinkUp(t) ? kConductor : kEmpty);
        SetImagePix(c.leftX, c.leftY, left ? kConductor : kEmpty);
        SetImagePix(c.centreX, c.centreY, HasCentre(t) ? kConductor : kEmpty);
        SetImagePix(c.downX, c.downY, HasLinkDown(t) ? kConductor : kEmpty);
    }
}

template <class Read, class Touch>
void LogicGrid::Evaluate(Read read, Touch touch) {
    bVisited.fill(false);
    int p = 0;
    do {
        bChange = false;
        // Every pass scans from the start, so an energised entry below the pass number (an output
        // rail cell reached late) is still spread from.
        for (int k = 0; k < kGridCells && iListX[k] != 0; ++k) {
            const auto uk = static_cast<std::size_t>(k);
            if (bVisited[uk]) continue;
            const int x = iListX[uk];
            const int y = iListY[uk];
            if (read(x, y) != kEnergised) continue;
            bVisited[uk] = true;
            for (int d = 1; touch(x - d, y); ++d) {
            }
            for (int d = 1; touch(x + d, y); ++d) {
            }
            for (int d = 1; touch(x, y - d); ++d) {
            }
            for (int d = 1; touch(x, y + d); ++d) {
            }
        }
        ++p;
    } while (bChange);
    passes_ = p;
}

void LogicGrid::LogicTest() {
    SetPix(1, 1, kEnergised);
    Evaluate([this](int x, int y) { return GetPix(x, y); },
             [this](int x, int y) { return TPix(x, y); });
}

void LogicGrid::LogicTestMem() {
    if (InGrid(1, 1)) iGrid[1 + kGridW * 1] = kEnergised;
    Evaluate([this](int x, int y) { return MemCell(x, y); },
             [this](int x, int y) { return TPixMem(x, y); });
}

bool LogicGrid::ResultOnPicture() const {
    return picture_ && picture_->GetPixel(34, 1) == kColourRed;
}

bool EvaluateOutput(const Config& config, int output, int32_t inputs) {
    LogicGrid grid;
    grid.bUseMem = true;
    grid.LogicLoadMem(config, output, inputs);
    grid.LogicTestMem();
    return grid.ResultOnMem();
}

TestResult ReadTest(const PixelSurface& picture) {
    auto lit = [&](int x, int y) { return picture.GetPixel(x, y) == kColourRed; };
    TestResult r;
    r.on = lit(34, 1);
    for (int s = 0; s < kSegments; ++s) {
        const int x = BlockX(s);
        const int y = BlockY(s);
        r.segments[static_cast<std::size_t>(s)] = {lit(x, y + 1), lit(x + 1, y + 1), lit(x + 1, y),
                                                   lit(x + 1, y + 2)};
    }
    return r;
}

TestResult TestOutput(const Config& config, int output, int32_t inputs) {
    ArraySurface picture;
    LogicGrid grid(&picture);
    grid.LogicLoad(config, output, inputs);
    grid.LogicTest();
    return ReadTest(picture);
}

}  // namespace zez
