#include "editor/HelpWindow.h"

#include <QDesktopServices>
#include <QFile>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QRegularExpression>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace zez {
namespace {

const QString kBase = QStringLiteral("qrc:/guide/");

QString Chapter(const QString& name) {
    QFile f(QStringLiteral(":/guide/") + name);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// A heading as a link names it: lower case, punctuation dropped, spaces as hyphens.
QString Slug(const QString& heading) {
    QString s;
    for (const QChar c : heading.toLower()) {
        if (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_'))
            s += c;
        else if (c == QLatin1Char(' '))
            s += QLatin1Char('-');
    }
    return s;
}

bool IsHeading(const QTextBlock& b) {
    return b.blockFormat().headingLevel() > 0;
}

QToolButton* Button(const QString& text, const QString& tip, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setToolTip(tip);
    return b;
}

}  // namespace

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("ZezUdi User Guide"));
    setProperty(kHelpTopic, QString::fromLatin1(kContents));
    auto* back = Button(QStringLiteral("< Back"), QStringLiteral("Back (Alt+Left)"), this);
    auto* forward =
        Button(QStringLiteral("Forward >"), QStringLiteral("Forward (Alt+Right)"), this);
    auto* home = Button(QStringLiteral("Contents"), QStringLiteral("The guide's first page"), this);
    find_ = new QLineEdit(this);
    find_->setPlaceholderText(QStringLiteral("Find (Ctrl+F, then Enter or F3)"));
    find_->setClearButtonEnabled(true);
    auto* notFound = new QLabel(this);
    auto* bar = new QHBoxLayout;
    bar->addWidget(back);
    bar->addWidget(forward);
    bar->addWidget(home);
    bar->addSpacing(12);
    bar->addWidget(find_, 1);
    bar->addWidget(notFound);

    contents_ = new QTreeWidget(this);
    contents_->setHeaderHidden(true);
    text_ = new QTextBrowser(this);
    text_->setOpenLinks(false);
    text_->setSearchPaths({QStringLiteral(":/guide")});
    auto* split = new QSplitter(this);
    split->addWidget(contents_);
    split->addWidget(text_);
    split->setStretchFactor(1, 1);
    split->setSizes({220, 640});
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(split, 1);
    resize(900, 680);
    BuildContents();

    connect(back, &QToolButton::clicked, text_, &QTextBrowser::backward);
    connect(forward, &QToolButton::clicked, text_, &QTextBrowser::forward);
    connect(text_, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
    connect(text_, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);
    connect(home, &QToolButton::clicked, this,
            [this] { ShowTopic(QString::fromLatin1(kContents)); });
    connect(contents_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { ShowTopic(item->data(0, Qt::UserRole).toString()); });
    connect(contents_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { ShowTopic(item->data(0, Qt::UserRole).toString()); });
    // Links between chapters name a heading the way web pages do ("files.md#recovery");
    // other programs' pages open in the browser.
    connect(text_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) {
            QDesktopServices::openUrl(url);
            return;
        }
        const QString file = url.path().section(QLatin1Char('/'), -1);
        const QString chapter = file.isEmpty() ? text_->source().fileName() : file;
        QString heading;
        for (const QString& line : Chapter(chapter).split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1Char('#')) &&
                Slug(line.section(QLatin1Char(' '), 1).trimmed()) == url.fragment()) {
                heading = line.section(QLatin1Char(' '), 1).trimmed();
                break;
            }
        }
        ShowTopic(heading.isEmpty() ? chapter : chapter + QLatin1Char('#') + heading);
    });
    connect(find_, &QLineEdit::returnPressed, this, [this] { FindNext(false); });
    connect(find_, &QLineEdit::textChanged, notFound, [notFound] { notFound->clear(); });
    auto shortcut = [this](const QKeySequence& keys, auto slot) {
        auto* s = new QShortcut(keys, this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence::Find, [this] {
        find_->setFocus(Qt::ShortcutFocusReason);
        find_->selectAll();
    });
    shortcut(QKeySequence::FindNext, [this] { FindNext(false); });
    shortcut(QKeySequence::FindPrevious, [this] { FindNext(true); });
    shortcut(QKeySequence::Back, [this] { text_->backward(); });
    shortcut(QKeySequence::Forward, [this] { text_->forward(); });
    shortcut(QKeySequence(Qt::Key_Escape), [this] { close(); });
    notFound_ = notFound;
    ShowTopic(QString::fromLatin1(kContents));
}

void HelpWindow::BuildContents() {
    // The chapters in the order the first page lists them, each with its sections.
    chapters_ = QStringList{QString::fromLatin1(kContents)};
    static const QRegularExpression link(
        QStringLiteral(R"(^\s*[-*]\s*\[([^\]]+)\]\(([^)#]+\.md)\))"));
    for (const QString& line : Chapter(QString::fromLatin1(kContents)).split(QLatin1Char('\n'))) {
        const auto m = link.match(line);
        if (!m.hasMatch()) continue;
        const QString chapter = m.captured(2);
        chapters_ << chapter;
        auto* top = new QTreeWidgetItem(contents_, {m.captured(1)});
        top->setData(0, Qt::UserRole, chapter);
        for (const QString& l : Chapter(chapter).split(QLatin1Char('\n'))) {
            if (!l.startsWith(QLatin1String("## "))) continue;
            const QString heading = l.mid(3).trimmed();
            auto* item = new QTreeWidgetItem(top, {heading});
            item->setData(0, Qt::UserRole, chapter + QLatin1Char('#') + heading);
        }
    }
}

void HelpWindow::ShowTopic(const QString& topic) {
    QString chapter = topic.section(QLatin1Char('#'), 0, 0);
    const QString heading = topic.section(QLatin1Char('#'), 1);
    if (Chapter(chapter).isEmpty()) chapter = QString::fromLatin1(kContents);
    const QUrl url(kBase + chapter);
    if (text_->source() != url) text_->setSource(url, QTextDocument::MarkdownResource);
    if (heading.isEmpty() || !ScrollToHeading(heading)) {
        text_->moveCursor(QTextCursor::Start);
        text_->verticalScrollBar()->setValue(0);
    } else {
        // Once more when the window has its size and the text its layout, so that the heading
        // is at the top and not merely somewhere in sight.
        QTimer::singleShot(0, this, [this, heading] { ScrollToHeading(heading); });
    }
    // The contents follow: the chapter open, the section (or chapter) chosen.
    for (int i = 0; i < contents_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* top = contents_->topLevelItem(i);
        if (top->data(0, Qt::UserRole).toString() != chapter) continue;
        top->setExpanded(true);
        QTreeWidgetItem* chosen = top;
        for (int k = 0; k < top->childCount(); ++k)
            if (top->child(k)->text(0) == heading) chosen = top->child(k);
        contents_->setCurrentItem(chosen);
    }
    const QString title = text_->document()->firstBlock().text();
    setWindowTitle(QStringLiteral("ZezUdi User Guide - ") + title);
}

bool HelpWindow::ScrollToHeading(const QString& heading) {
    for (QTextBlock b = text_->document()->firstBlock(); b.isValid(); b = b.next()) {
        if (!IsHeading(b) || b.text().trimmed() != heading) continue;
        text_->setTextCursor(QTextCursor(b));
        // From the end back to the heading: the view then shows it at its top.
        text_->moveCursor(QTextCursor::End);
        text_->ensureCursorVisible();
        text_->setTextCursor(QTextCursor(b));
        text_->ensureCursorVisible();
        return true;
    }
    return false;
}

QString HelpWindow::CurrentHeading() const {
    for (QTextBlock b = text_->textCursor().block(); b.isValid(); b = b.previous())
        if (IsHeading(b)) return b.text().trimmed();
    return QString();
}

void HelpWindow::ShowMessage(const QString& message) {
    ShowTopic(QString::fromLatin1(kTroubleshooting));
    QTextDocument* doc = text_->document();
    // The longest run of the message's words that the chapter holds: a message's own words
    // surround the names and numbers it was given.
    QTextCursor best;
    int bestWords = 0;
    for (const QString& line : QString(message)
                                   .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                                   .split(QLatin1Char('\n'))) {
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (int n = static_cast<int>(words.size()); n > bestWords; --n) {
            for (int from = 0; from + n <= words.size(); ++from) {
                const QTextCursor found = doc->find(words.mid(from, n).join(QLatin1Char(' ')));
                if (found.isNull()) continue;
                best = found;
                bestWords = n;
                break;
            }
            if (bestWords == n) break;
        }
    }
    if (best.isNull()) return;
    QTextBlock b = best.block();
    while (b.isValid() && !IsHeading(b)) b = b.previous();
    const QString heading = b.isValid() ? b.text().trimmed() : QString();
    auto land = [this, heading, best] {
        ScrollToHeading(heading);
        text_->setTextCursor(best);
        text_->ensureCursorVisible();
    };
    land();
    QTimer::singleShot(0, this, land);
}

QString HelpWindow::TopicOf(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        QString topic = w->property(kHelpTopic).toString();
        if (!topic.isEmpty()) return topic;
    }
    return QString();
}

void HelpWindow::FindNext(bool backward) {
    const QString what = find_->text();
    if (what.isEmpty()) return;
    const auto flags = backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    if (text_->find(what, flags)) {
        notFound_->clear();
        return;
    }
    // Not further in this chapter: the next chapter that has it (round to this one's start).
    const QString here = text_->source().fileName();
    const qsizetype at = chapters_.indexOf(here);
    for (qsizetype step = 1; step <= chapters_.size(); ++step) {
        const qsizetype n = chapters_.size();
        const QString next = chapters_[((at < 0 ? 0 : at) + (backward ? -step : step) % n + n) % n];
        if (next != here && !Chapter(next).contains(what, Qt::CaseInsensitive)) continue;
        ShowTopic(next);
        text_->moveCursor(backward ? QTextCursor::End : QTextCursor::Start);
        if (text_->find(what, flags)) {
            notFound_->clear();
            return;
        }
    }
    notFound_->setText(QStringLiteral("Not found"));
}

}  // namespace zez
