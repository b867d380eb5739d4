#pragma once
// The user guide: its chapters (Markdown compiled into the program) in a window of its own, with
// contents, back and forward, and find.

#include <QLabel>
#include <QLineEdit>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QWidget>

namespace zez {

// Where the guide says more about a widget: "chapter.md#Heading", kept on the widget or one of
// its parents as this property.
inline constexpr const char* kHelpTopic = "zezHelpTopic";

class HelpWindow : public QWidget {
    Q_OBJECT
  public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows `topic` ("files.md" or "files.md#Recovery after a crash"): the chapter, scrolled to
    // the heading when it has one. Unknown topics show the contents.
    void ShowTopic(const QString& topic);
    // The troubleshooting chapter at the place that names the longest run of words of `message`.
    void ShowMessage(const QString& message);
    // The topic of the widget or the nearest of its parents that has one; empty if none.
    static QString TopicOf(const QWidget* widget);

    QTextBrowser* text() const { return text_; }
    QLineEdit* findBox() const { return find_; }
    // The heading the view shows at its top (or above it), for the tests and the title.
    QString CurrentHeading() const;

    static constexpr const char* kContents = "index.md";
    static constexpr const char* kTroubleshooting = "troubleshooting.md";

  private:
    void BuildContents();
    bool ScrollToHeading(const QString& heading);
    void FindNext(bool backward);

    QTreeWidget* contents_ = nullptr;
    QTextBrowser* text_ = nullptr;
    QLineEdit* find_ = nullptr;
    QLabel* notFound_ = nullptr;
    QStringList chapters_;  // the first page, then the chapters in its order
};

}  // namespace zez
