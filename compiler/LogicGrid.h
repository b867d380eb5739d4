#pragma once
// The logic grid: one output's diagram drawn between a supply rail and an output rail for one
// input-state word, then energised from the supply to see whether the output rail is reached.

#include <array>
#include <cstdint>

#include "config/Config.h"

namespace zez {

inline constexpr int kGridW = 36;
inline constexpr int kGridH = 50;
inline constexpr int kGridCells = kGridW * kGridH;  // also the work list's capacity

// Cell states.
inline constexpr int16_t kEmpty = 0;
inline constexpr int16_t kConductor = 1;
inline constexpr int16_t kEnergised = 2;

// Pixel colours of the picture store (red in the low byte).
inline constexpr uint32_t kColourWhite = 0xFFFFFF;
inline constexpr uint32_t kColourBlack = 0x000000;
inline constexpr uint32_t kColourRed = 0x0000FF;

// The picture store: a 36 x 50 drawing surface whose pixels read back exactly as written.
class PixelSurface {
  public:
    virtual ~PixelSurface() = default;
    virtual uint32_t GetPixel(int x, int y) const = 0;
    virtual void SetPixelV(int x, int y, uint32_t colour) = 0;
};

// A plain array behind the pixel surface; reads outside it give a colour that maps to empty.
class ArraySurface final : public PixelSurface {
  public:
    ArraySurface() { Fill(kColourWhite); }
    uint32_t GetPixel(int x, int y) const override;
    void SetPixelV(int x, int y, uint32_t colour) override;
    void Fill(uint32_t colour) { px_.fill(colour); }

  private:
    std::array<uint32_t, kGridCells> px_{};
};

// Where segment s is drawn: its block's top-left cell.
constexpr int BlockX(int seg) {
    return 2 + 2 * SegColumn(seg);
}
constexpr int BlockY(int seg) {
    return 1 + 3 * SegRow(seg);
}
// Its centre (junction) cell, which every segment code 1..15 makes a conductor.
constexpr int CentreX(int seg) {
    return BlockX(seg) + 1;
}
constexpr int CentreY(int seg) {
    return BlockY(seg) + 1;
}

class LogicGrid {
  public:
    explicit LogicGrid(PixelSurface* picture = nullptr) : picture_(picture) {}

    // Memory store, cell (x, y) at x + 36 y.
    std::array<int16_t, kGridCells> iGrid{};
    // false: picture store, true: memory store (for the store-switched operations).
    bool bUseMem = false;

    // Work list, filled by loading in drawing order; an x of 0 ends it.
    std::array<int16_t, kGridCells> iListX{};
    std::array<int16_t, kGridCells> iListY{};
    int16_t iListCount = 0;
    std::array<bool, kGridCells> bVisited{};
    bool bChange = false;

    // Single-cell operations.
    int16_t GetPix(int x, int y) const;
    void SetPix(int x, int y, int16_t col);
    void PlotPix(int x, int y, int16_t col);
    void SetImagePix(int x, int y, int16_t col);
    bool TPix(int x, int y);
    bool TPixMem(int x, int y);

    int16_t MemCell(int x, int y) const;
    void ClearMem() { iGrid.fill(kEmpty); }

    // Draws `output`'s diagram for the input-state word.
    void LogicLoad(const Config& config, int output, int32_t inputs);     // store by bUseMem
    void LogicLoadMem(const Config& config, int output, int32_t inputs);  // memory store
    // Energises from the source cell (1, 1) until a pass changes nothing.
    void LogicTest();
    void LogicTestMem();

    // The result cell (34, 1) after an evaluation: energised means the output is on.
    bool ResultOnMem() const { return MemCell(34, 1) == kEnergised; }
    bool ResultOnPicture() const;
    // Passes the last evaluation took.
    int LastPasses() const { return passes_; }

  private:
    static bool InGrid(int x, int y) { return x >= 0 && x < kGridW && y >= 0 && y < kGridH; }
    void Record(int x, int y);
    void ClearWorkList();
    template <class Read, class Touch>
    void Evaluate(Read read, Touch touch);

    PixelSurface* picture_ = nullptr;
    int passes_ = 0;
};

// Input-state word from a list of ticked signal bits (bit n: input selection n is on).
constexpr int32_t InputBit(int sel) {
    return int32_t{1} << sel;
}

// Loads and evaluates in the memory store: is `output` on for `inputs`?
bool EvaluateOutput(const Config& config, int output, int32_t inputs);

// Parts of a segment block that carried the supply in the last test.
struct Energised {
    bool element = false, junction = false, up = false, down = false;
    bool any() const { return element || junction || up || down; }
};

// What the Test shows: whether the output is on and, per segment, what carried the supply.
struct TestResult {
    bool on = false;
    std::array<Energised, kSegments> segments{};
};

// Read from a picture store that LogicTest drew on.
TestResult ReadTest(const PixelSurface& picture);
// Loads and tests `output` for `inputs` on a picture store of its own, as the Test button does.
TestResult TestOutput(const Config& config, int output, int32_t inputs);

}  // namespace zez
