#include "editor/DiagramView.h"

#include "compiler/LogicGrid.h"
#include "editor/GridEditor.h"

namespace zez {

void DiagramView::Show(const Config& config, int output) {
    ClearEnergised();
    for (int s = 0; s < kSegments; ++s) {
        const int t = config.SegType[output][s];
        client_.imgSegment[s]->SetCode(t);
        // Links join only links: one that meets none above or below is an open end.
        const auto& type = config.SegType[output];
        client_.imgSegment[s]->SetOpenEnds(
            HasLinkUp(t) && (s < 16 || !HasLinkDown(type[s - 16])),
            HasLinkDown(t) && (s >= kSegments - 16 || !HasLinkUp(type[s + 16])));
        if (t < 8) {
            client_.lblSeg[s]->hide();
            continue;
        }
        // A stored type above 15 is no contact, but its selection is still worth seeing.
        client_.lblSeg[s]->setText(QString::fromStdString(InputLabel(config.SegInput[output][s])));
        client_.lblSeg[s]->show();
        client_.lblSeg[s]->raise();
    }
    for (auto* line : client_.linIO) line->raise();
    if (client_.cboSelect->isVisible()) client_.cboSelect->raise();
}

void DiagramView::ShowMarks(const GridEditor& editor, bool focused) {
    for (int s = 0; s < kSegments; ++s)
        client_.imgSegment[s]->SetMarks(editor.hasSelection() && editor.selection().Contains(s),
                                        editor.cursorShown() && s == editor.cursor(), focused);
    for (int k = 0; k < 16; ++k) client_.imgSelect[k]->SetArmed(k == editor.armed());
}

void DiagramView::ShowFindings(const std::array<QString, kSegments>& reasons) {
    for (int s = 0; s < kSegments; ++s)
        client_.imgSegment[s]->SetFinding(reasons[static_cast<std::size_t>(s)]);
}

void DiagramView::ClearEnergised() {
    if (!supplyShown_) return;
    supplyShown_ = outputShown_ = false;
    for (auto* seg : client_.imgSegment) seg->SetEnergised({});
    for (auto* line : client_.linIO) line->SetLit(false);
}

void DiagramView::ShowEnergised(const TestResult& result) {
    for (int s = 0; s < kSegments; ++s)
        client_.imgSegment[s]->SetEnergised(result.segments[static_cast<std::size_t>(s)]);
    supplyShown_ = true;
    outputShown_ = result.on;
    client_.linIO[0]->SetLit(true);
    client_.linIO[1]->SetLit(result.on);
    client_.linIO[2]->SetLit(result.on);
}

}  // namespace zez
