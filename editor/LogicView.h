#pragma once
// The Logic window (Tools > Logic, F6): what the shown output computes, its truth table over the
// signals it depends on, the wiring checks' findings, and every output's state for the inputs
// ticked on the test panel. It works on a copy of the record on its own thread, so typing never
// waits for it; the newest request wins, and a report is shown only as the answer to it: what
// was worked out from an older diagram is never shown or applied.

#include <QAbstractTableModel>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QThread>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>

#include "compiler/FastEngine.h"
#include "config/Config.h"
#include "logic/Checks.h"

namespace zez {

// What the window shows for one request.
struct LogicReport {
    int output = 0;
    int32_t inputs = 0;
    std::string expression;
    bool exact = false;
    std::vector<int> dependsOn;
    OutputBits bits{};
    std::vector<Finding> findings;  // the shown output's
    std::array<bool, kOutputs> states{};
    int segments = 0;                       // the diagram's segments that hold anything
    std::optional<OutputSegments> minimal;  // the minimal drawing, when it takes fewer
    std::string signalUse;                  // every output's contacts per signal, in a line
};

// Everything decided without a window; the CLI's commands call the same routines.
LogicReport MakeLogicReport(const Config& config, int output, int32_t inputs);

// Rows count up with the rightmost signal fastest, as zezudi-cli table prints them.
class TruthTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;
    void Show(const std::vector<int>& dependsOn, const OutputBits& bits, int output);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    // The input-state word of a row.
    int32_t Word(int row) const;
    bool On(int row) const;

  private:
    std::vector<int> signals_;
    OutputBits bits_{};
    int output_ = 0;
};

class LogicView : public QWidget {
    Q_OBJECT
  public:
    explicit LogicView(QWidget* parent = nullptr);
    ~LogicView() override;

    // Asks for a new report of `config`, the document's `revision`; the window shows it when it
    // is ready. Until then "Redraw minimal" is off unless the diagram is the one shown.
    void Request(const Config& config, int output, int32_t inputs, quint64 revision);
    // Waits for the report in progress and shows it (for tests and for a closing window).
    void Finish();
    const LogicReport& shown() const { return shown_; }
    // The document's revision the shown report was worked out from.
    quint64 shownRevision() const { return shownRevision_; }

    QLabel* expression() const { return expression_; }
    QTableView* table() const { return table_; }
    QListWidget* findings() const { return findings_; }
    QLabel* states() const { return states_; }
    QLabel* signalUse() const { return signalUse_; }
    QPushButton* redraw() const { return redraw_; }

  signals:
    // A new report is on the screen (the main window draws the findings on its grid).
    void Shown();
    void Hidden();
    // "Redraw minimal" was pressed for the shown output of the document's `revision`.
    void RedrawMinimal(int output, const OutputSegments& drawing, quint64 revision);

  protected:
    void hideEvent(QHideEvent* event) override;

  private:
    void Start();
    void Show(const LogicReport& report);

    struct Job {
        Config config;
        int output = 0;
        int32_t inputs = 0;
        quint64 revision = 0;
        quint64 number = 0;  // of the request
    };
    std::unique_ptr<Job> pending_;
    std::unique_ptr<QThread> worker_;
    quint64 requests_ = 0;  // the number of the newest request
    LogicReport shown_;
    quint64 shownRevision_ = 0;
    QLabel* title_;
    QLabel* expression_;
    QLabel* method_;
    TruthTableModel* model_;
    QTableView* table_;
    QListWidget* findings_;
    QLabel* states_;
    QLabel* signalUse_;
    QPushButton* redraw_;
};

}  // namespace zez
