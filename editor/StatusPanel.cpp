#include "editor/StatusPanel.h"

#include <QFileInfo>
#include <QStringList>
#include <algorithm>

namespace zez {

void WordElidedLabel::SetFullText(const QString& text) {
    full_ = text;
    Fit();
}

QSize WordElidedLabel::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};  // takes the room there is, no more
}

void WordElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    Fit();
}

void WordElidedLabel::showEvent(QShowEvent* event) {
    QLabel::showEvent(event);
    Fit();
}

void WordElidedLabel::Fit() {
    const QFontMetrics metrics(font());
    const int room = contentsRect().width();
    // Until it is laid out on the screen, the whole text.
    if (!isVisible() || metrics.horizontalAdvance(full_) <= room) {
        setText(full_);
        setToolTip(QString());
        return;
    }
    const QString ellipsis(QChar(0x2026));
    QString shown = metrics.elidedText(full_, Qt::ElideRight, room);  // a first word too long
    for (qsizetype space = full_.indexOf(QLatin1Char(' ')); space > 0;
         space = full_.indexOf(QLatin1Char(' '), space + 1)) {
        const QString words = full_.left(space) + ellipsis;
        if (metrics.horizontalAdvance(words) > room) break;
        shown = words;
    }
    setText(shown);
    setToolTip(full_);
}

StatusPanel::StatusPanel(QStatusBar* bar, Document& doc, PortChoice& ports)
    : QObject(bar),
      doc_(doc),
      ports_(ports),
      file_(new QLabel(bar)),
      state_(new QLabel(bar)),
      port_(new QLabel(bar)),
      message_(new WordElidedLabel(bar)),
      bar_(new QProgressBar(bar)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), bar)) {
    bar->setSizeGripEnabled(false);
    bar->addWidget(file_);
    bar->addWidget(state_);
    bar->addWidget(message_, 1);
    bar->addPermanentWidget(bar_);
    bar->addPermanentWidget(cancel_);
    bar->addPermanentWidget(port_);
    bar_->setFixedWidth(260);
    bar_->setMaximumHeight(16);
    cancel_->setMaximumHeight(18);
    bar_->hide();
    cancel_->hide();
    connect(&doc, &Document::StatusChanged, this, &StatusPanel::Refresh);
    connect(&doc, &Document::Changed, this, &StatusPanel::ForgetStale);
    connect(&doc, &Document::Restarted, this, &StatusPanel::ForgetStale);
    connect(&doc, &Document::CompiledChanged, this, &StatusPanel::Refresh);
    connect(&ports, &PortChoice::Changed, this, &StatusPanel::Refresh);
    Refresh();
}

void StatusPanel::Say(const QString& message) {
    message_->SetFullText(message);
    saidAt_ = doc_.revision();
}

void StatusPanel::ForgetStale() {
    // What the last command said belongs to the configuration it was said of.
    if (doc_.revision() != saidAt_) message_->SetFullText(QString());
}

void StatusPanel::ShowTransfer(bool running) {
    bar_->setVisible(running);
    cancel_->setVisible(running);
    if (!running) return;
    bar_->setRange(0, 0);  // busy until the first block
    bar_->setFormat(ports_.CurrentPortName() + QStringLiteral(": connecting"));
    bar_->setTextVisible(true);
}

void StatusPanel::Progress(const QString& caption) {
    if (caption.isEmpty() || !bar_->isVisible()) return;
    const QString port = ports_.CurrentPortName();
    const QStringList words = caption.split(QLatin1Char(' '));
    if (words.size() == 4 && words[0] == QStringLiteral("Block")) {  // Block N of M
        bar_->setRange(0, std::max(1, words[3].toInt()));
        bar_->setValue(words[1].toInt());
        bar_->setFormat(QStringLiteral("%1: block %2 of %3").arg(port, words[1], words[3]));
    } else {
        bar_->setValue(bar_->maximum());
        bar_->setFormat(port + QStringLiteral(": ") + caption.toLower());
    }
}

void StatusPanel::Refresh() {
    const QString name = doc_.hasFile() ? QFileInfo(doc_.fileName()).fileName() : Document::kNoFile;
    file_->setText(QStringLiteral("File: ") + name +
                   (doc_.changed() ? QStringLiteral(" *") : QString()));
    file_->setToolTip(doc_.hasFile() ? doc_.fileName()
                                     : QStringLiteral("No file: Save asks for a name"));
    QString state = doc_.compiled() ? QStringLiteral("Compiled") : QStringLiteral("Not compiled");
    if (doc_.changed()) state = QStringLiteral("Unsaved changes; ") + state.toLower();
    if (doc_.hasFile() && !doc_.fromFile())
        state = QStringLiteral("Not the file's content: Save replaces %1; ").arg(name) +
                state.toLower();
    state_->setText(state);
    const QString port = ports_.CurrentPortName();
    port_->setText(QStringLiteral("Port: ") + (port.isEmpty() ? QStringLiteral("none") : port));
}

}  // namespace zez
