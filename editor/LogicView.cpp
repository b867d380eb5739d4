#include "editor/LogicView.h"

#include <QBrush>
#include <QCoreApplication>
#include <QHeaderView>
#include <QVBoxLayout>

#include "compiler/LogicGrid.h"
#include "compiler/TruthTable.h"
#include "editor/Fonts.h"
#include "editor/HelpWindow.h"
#include "logic/Expression.h"
#include "logic/Layout.h"
#include "logic/SignalUse.h"

namespace zez {

LogicReport MakeLogicReport(const Config& config, int output, int32_t inputs) {
    LogicReport r;
    r.output = output;
    r.inputs = inputs;
    CompileOutputBits(config, output, r.bits);
    const SumOfProducts sop = Minimise(r.bits);
    r.expression = FormatExpression(sop);
    r.exact = sop.exact;
    r.dependsOn = sop.dependsOn;
    r.findings = CheckOutput(config, output, r.bits);
    for (int o = 0; o < kOutputs; ++o)
        r.states[static_cast<std::size_t>(o)] = EvaluateOutput(config, o, inputs);
    r.segments = SegmentCount(config.SegType[output]);
    r.signalUse = SignalUseLine(UseOfSignals(config, false));
    if (OutputHasDiagram(config, output)) {
        auto drawn = DrawFunction(r.bits, sop);
        if (drawn && SegmentCount(drawn.value().types) < r.segments) r.minimal = drawn.value();
    }
    return r;
}

void TruthTableModel::Show(const std::vector<int>& dependsOn, const OutputBits& bits, int output) {
    beginResetModel();
    signals_ = dependsOn;
    bits_ = bits;
    output_ = output;
    endResetModel();
}

int TruthTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1 << signals_.size();
}

int TruthTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(signals_.size()) + 1;
}

int32_t TruthTableModel::Word(int row) const {
    return TableRowWord(signals_, row);
}

bool TruthTableModel::On(int row) const {
    return OutputOn(bits_, Word(row));
}

QVariant TruthTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int k = static_cast<int>(signals_.size());
    const bool on = On(index.row());
    if (role == Qt::DisplayRole) {
        if (index.column() == k) return on ? QStringLiteral("On") : QStringLiteral("Off");
        return (index.row() >> (k - 1 - index.column())) & 1;
    }
    if (role == Qt::TextAlignmentRole) return Qt::AlignCenter;
    if (role == Qt::BackgroundRole && on) return QBrush(QColor(255, 220, 220));
    if (role == Qt::FontRole && on && index.column() == k) {
        QFont f;
        f.setBold(true);
        return f;
    }
    return {};
}

QVariant TruthTableModel::headerData(int section, Qt::Orientation o, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (o == Qt::Vertical) return section;
    if (section == static_cast<int>(signals_.size()))
        return QStringLiteral("LC Input %1").arg(output_ + 1);
    return QString::fromStdString(SignalName(signals_[static_cast<std::size_t>(section)]));
}

LogicView::LogicView(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setWindowTitle(QStringLiteral("Logic"));
    setProperty(kHelpTopic, QStringLiteral("testing.md#The Logic window"));
    resize(460, 560);
    auto* layout = new QVBoxLayout(this);
    title_ = new QLabel(this);
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    expression_ = new QLabel(this);
    expression_->setWordWrap(true);
    expression_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    expression_->setFont(Monospace());
    method_ = new QLabel(this);
    model_ = new TruthTableModel(this);
    table_ = new QTableView(this);
    table_->setModel(model_);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    findings_ = new QListWidget(this);
    findings_->setMaximumHeight(120);
    states_ = new QLabel(this);
    states_->setWordWrap(true);
    signalUse_ = new QLabel(this);
    signalUse_->setWordWrap(true);
    signalUse_->setToolTip(
        QStringLiteral("The outputs whose contacts read each signal, and the "
                       "signals no contact reads (zezudi-cli signals)"));
    layout->addWidget(title_);
    layout->addWidget(expression_);
    layout->addWidget(method_);
    layout->addWidget(new QLabel(QStringLiteral("Truth table (on rows shaded):"), this));
    layout->addWidget(table_, 1);
    layout->addWidget(new QLabel(QStringLiteral("Wiring checks:"), this));
    layout->addWidget(findings_);
    layout->addWidget(states_);
    layout->addWidget(signalUse_);
    redraw_ = new QPushButton(QStringLiteral("Redraw minimal"), this);
    redraw_->setEnabled(false);
    connect(redraw_, &QPushButton::clicked, this, [this] {
        if (shown_.minimal) emit RedrawMinimal(shown_.output, *shown_.minimal, shownRevision_);
    });
    layout->addWidget(redraw_, 0, Qt::AlignLeft);
}

LogicView::~LogicView() {
    if (worker_) worker_->wait();
}

void LogicView::Request(const Config& config, int output, int32_t inputs, quint64 revision) {
    pending_ = std::make_unique<Job>(Job{config, output, inputs, revision, ++requests_});
    // The shown drawing belongs to another diagram now: not offered until its own report.
    if (revision != shownRevision_) redraw_->setEnabled(false);
    if (!worker_) Start();
}

void LogicView::Start() {
    // The window outlives the thread (its destructor waits), so the report can be posted to it.
    worker_.reset(QThread::create([this, job = std::shared_ptr<Job>(std::move(pending_))] {
        LogicReport report = MakeLogicReport(job->config, job->output, job->inputs);
        QMetaObject::invokeMethod(
            this,
            [this, report = std::move(report), revision = job->revision, number = job->number] {
                // An answer to an older request: the newest one's follows.
                if (number != requests_) return;
                shownRevision_ = revision;
                Show(report);
            },
            Qt::QueuedConnection);
    }));
    connect(worker_.get(), &QThread::finished, this, [this] {
        worker_->wait();
        worker_.reset();
        if (pending_) Start();
    });
    worker_->start();
}

void LogicView::Finish() {
    while (worker_ || pending_) {
        if (worker_) worker_->wait();
        QCoreApplication::sendPostedEvents(this);
        if (!worker_ && pending_) Start();
    }
}

void LogicView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    emit Hidden();
}

void LogicView::Show(const LogicReport& r) {
    shown_ = r;
    title_->setText(QStringLiteral("LC Input %1").arg(r.output + 1));
    expression_->setText(QString::fromStdString(r.expression));
    QString depends;
    for (int n : r.dependsOn) depends += QString::fromStdString(SignalName(n)) + QLatin1Char(' ');
    method_->setText((r.exact ? QStringLiteral("Minimal sum of products")
                              : QStringLiteral("Sum of products "
                                               "(heuristic, not "
                                               "proven minimal)")) +
                     (r.dependsOn.empty() ? QStringLiteral("; depends on no signal")
                                          : QStringLiteral("; depends on ") + depends.trimmed()));
    model_->Show(r.dependsOn, r.bits, r.output);
    redraw_->setEnabled(r.minimal.has_value());
    redraw_->setToolTip(r.minimal
                            ? QStringLiteral("Draw the expression above: %1 -> %2 segments")
                                  .arg(r.segments)
                                  .arg(SegmentCount(r.minimal->types))
                            : QStringLiteral("The diagram is as small as its minimal drawing"));
    findings_->clear();
    for (const auto& f : r.findings) {
        // By row and column, as the rest of the editor; the number zezudi-cli check prints too.
        const QString at = f.segment < 0 ? QString()
                                         : QStringLiteral("row %1, column %2 (segment %3): ")
                                               .arg(SegRow(f.segment) + 1)
                                               .arg(SegColumn(f.segment) + 1)
                                               .arg(f.segment);
        findings_->addItem(QStringLiteral("LC Input %1: %2%3")
                               .arg(f.output + 1)
                               .arg(at, QString::fromStdString(FindingReason(f.kind))));
    }
    if (r.findings.empty()) findings_->addItem(QStringLiteral("No findings."));
    QString states = QStringLiteral("With the ticked inputs: ");
    for (int o = 0; o < kOutputs; ++o)
        states += QStringLiteral("%1 %2%3")
                      .arg(o + 1)
                      .arg(r.states[static_cast<std::size_t>(o)] ? QStringLiteral("On")
                                                                 : QStringLiteral("Off"))
                      .arg(o + 1 < kOutputs ? QStringLiteral(", ") : QString());
    states_->setText(states);
    signalUse_->setText(QStringLiteral("Outputs that read each signal: ") +
                        QString::fromStdString(r.signalUse));
    emit Shown();
}

}  // namespace zez
