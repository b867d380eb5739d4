#include "editor/QtDialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "export/DiagramDrawing.h"

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
    if (help_) {
        auto* f1 = new QShortcut(QKeySequence::HelpContents, &box);
        QObject::connect(f1, &QShortcut::activated, &box, [this, text] { help_(text); });
    }
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
    // A name typed without an extension gets the first pattern's ("*.CDF"), before the dialog
    // asks whether to replace a file of that name (when it asks).
    const QString first =
        request.filter.section(QLatin1Char('|'), 1, 1).section(QLatin1Char(';'), 0, 0);
    if (save && first.startsWith(QStringLiteral("*.")) && !first.mid(1).contains(QLatin1Char('*')))
        dialog.setDefaultSuffix(first.mid(2));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.asksToReplace);
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

namespace {

// The drawing of one output as print draws it, scaled to the widget.
class DiagramPreview final : public QWidget {
  public:
    using QWidget::QWidget;
    void Show(const std::optional<OutputSegments>& segments) {
        config_ = Config{};
        if (segments) {
            config_.SegType[0] = segments->types;
            config_.SegInput[0] = segments->inputs;
        }
        update();
    }
    QSize sizeHint() const override { return {480, 480}; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        const double scale = std::min(width() / kDrawWidth, height() / kDrawHeight);
        DrawDiagram(p, QRectF(0, 0, kDrawWidth * scale, kDrawHeight * scale), config_, 0);
    }

  private:
    Config config_;
};

}  // namespace

std::optional<OutputSegments> QtDialogs::AskDrawing(const QString& title, const QString& initial,
                                                    const Drawer& draw) {
    QDialog dialog(parent_);
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);  // owned by the dialog, as are the widgets below
    layout->addWidget(
        new QLabel(QStringLiteral("Formula: I1..I8, P1..P8, 0, 1 with ! (not), & (and), | (or) and "
                                  "parentheses"),
                   &dialog));
    auto* formula = new QLineEdit(initial, &dialog);
    formula->selectAll();  // what is typed replaces the output's own formula; End keeps it
    auto* said = new QLabel(&dialog);
    auto* preview = new DiagramPreview(&dialog);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    for (QWidget* w : {static_cast<QWidget*>(formula), static_cast<QWidget*>(said),
                       static_cast<QWidget*>(preview), static_cast<QWidget*>(buttons)})
        layout->addWidget(w);
    std::optional<OutputSegments> drawn;
    const auto redraw = [&] {
        auto r = draw(formula->text());
        drawn = r ? std::optional(r.value()) : std::nullopt;
        said->setText(r ? QStringLiteral("Drawn as shown; OK puts it in the diagram.")
                        : QString::fromStdString(r.error()));
        preview->Show(drawn);
        buttons->button(QDialogButtonBox::Ok)->setEnabled(drawn.has_value());
    };
    QObject::connect(formula, &QLineEdit::textChanged, &dialog, redraw);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    redraw();
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return drawn;
}

}  // namespace zez
