#include "editor/QtDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace zez {
namespace {

// "Name (*.CDF)|*.CDF|All Files (*.*)|*.*" -> "Name (*.CDF);;All Files (*.*)"
QString QtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList names;
    for (int i = 0; i + 1 < parts.size(); i += 2) names << parts[i];
    return names.join(QStringLiteral(";;"));
}

void SplitInitial(const QString& initial, QString& dir, QString& name) {
    const QFileInfo info(initial);
    dir = initial.isEmpty() ? QString() : info.path();
    name = info.fileName().contains(QLatin1Char('*')) ? QString() : info.fileName();
}

}  // namespace

Answer QtDialogs::Message(const QString& text, const QString& title, Buttons buttons, Icon icon) {
    QMessageBox box(parent_);
    box.setWindowTitle(title.isEmpty() ? kAppTitle : title);
    box.setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    switch (icon) {
        case Icon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case Icon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Icon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case Icon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case Icon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
    }
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return Answer::Ok;
}

QString QtDialogs::RunFileDialog(const FileDialogRequest& request, bool save) {
    QString dir, name;
    SplitInitial(request.initialName, dir, name);
    QFileDialog dialog(parent_, QString(), dir, QtFilter(request.filter));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!name.isEmpty()) dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
}

QString QtDialogs::OpenFileName(const FileDialogRequest& request) {
    return RunFileDialog(request, false);
}

QString QtDialogs::SaveFileName(const FileDialogRequest& request) {
    return RunFileDialog(request, true);
}

bool QtDialogs::Print(QPrinter& printer, bool preview,
                      const std::function<void(QPrinter*)>& paint) {
    if (preview) {
        QPrintPreviewDialog dialog(&printer, parent_);
        QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                         [&](QPrinter* p) { paint(p); });
        dialog.resize(900, 1000);
        return dialog.exec() == QDialog::Accepted;
    }
    QPrintDialog dialog(&printer, parent_);
    if (dialog.exec() != QDialog::Accepted) return false;
    paint(&printer);
    return true;
}

QString QtDialogs::AskText(const QString& prompt, const QString& title, const QString& initial) {
    return QInputDialog::getText(parent_, title, prompt, QLineEdit::Normal, initial).trimmed();
}

int QtDialogs::Choose(const QString& prompt, const QString& title, const QStringList& items) {
    bool ok = false;
    const QString chosen = QInputDialog::getItem(parent_, title, prompt, items, 0, false, &ok);
    return ok ? static_cast<int>(items.indexOf(chosen)) : -1;
}

}  // namespace zez
