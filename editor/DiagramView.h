#pragma once
// Puts the shown output on the client area's fixed widgets: the segment pictures and labels,
// the cursor and selection marks, the armed palette picture, the checks' findings and the parts
// that carried the supply in the last test.

#include <QString>
#include <array>

#include "config/Config.h"
#include "editor/ClientArea.h"
#include "editor/TestRun.h"

namespace zez {

class GridEditor;

class DiagramView {
  public:
    explicit DiagramView(ClientArea& client) : client_(client) {}

    // Clears what the last test showed.
    void Show(const Config& config, int output);
    void ShowMarks(const GridEditor& editor, bool focused);
    // A reason per segment; empty: no finding.
    void ShowFindings(const std::array<QString, kSegments>& reasons);
    void ShowEnergised(const TestResult& result);
    void ClearEnergised();

    // Whether the rails are drawn as carrying the supply (after a test).
    bool supplyShown() const { return supplyShown_; }
    bool outputShown() const { return outputShown_; }

  private:
    ClientArea& client_;
    bool supplyShown_ = false;
    bool outputShown_ = false;
};

}  // namespace zez
