#include "editor/StatusPanel.h"

#include <QFileInfo>

namespace zez {

StatusPanel::StatusPanel(QStatusBar* bar, Document& doc, PortChoice& ports)
    : QObject(bar),
      doc_(doc),
      ports_(ports),
      file_(new QLabel(bar)),
      state_(new QLabel(bar)),
      port_(new QLabel(bar)),
      message_(new QLabel(bar)) {
    bar->setSizeGripEnabled(false);
    bar->addWidget(file_);
    bar->addWidget(state_);
    bar->addWidget(message_, 1);
    bar->addPermanentWidget(port_);
    connect(&doc, &Document::StatusChanged, this, &StatusPanel::Refresh);
    connect(&doc, &Document::CompiledChanged, this, &StatusPanel::Refresh);
    connect(&ports, &PortChoice::Changed, this, &StatusPanel::Refresh);
    Refresh();
}

void StatusPanel::Say(const QString& message) {
    message_->setText(message);
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
