#pragma once
// Dialogs that answer from a script and record every box and file dialog.

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <tuple>
#include <vector>

#include <QPrinter>

#include "editor/Dialogs.h"

// A failing comparison shows the text, not the bytes of the object.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace zez::test {

struct Box {
    QString text, title;
    Buttons buttons;
    Icon icon;
};

inline void ExpectBox(const Box& box, const QString& text, const QString& title, Buttons buttons,
                      Icon icon) {
    EXPECT_EQ(std::tie(box.text, box.title, box.buttons, box.icon),
              std::tie(text, title, buttons, icon));
}

// The box starts with `text` and has `title` and `icon`.
inline void ExpectSaid(const Box& box, const QString& text, const QString& title, Icon icon) {
    EXPECT_TRUE(box.text.startsWith(text)) << box.text.toStdString();
    EXPECT_EQ(std::tie(box.title, box.icon), std::tie(title, icon));
}

class ScriptedDialogs final : public Dialogs {
  public:
    Answer Message(const QString& text, const QString& title, Buttons buttons, Icon icon) override {
        boxes.push_back({text, title, buttons, icon});
        if (onMessage) onMessage(boxes.back());
        if (buttons == Buttons::Ok) return Answer::Ok;
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text.toStdString();
            return Answer::No;
        }
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    QString OpenFileName(const FileDialogRequest& request) override {
        openRequests.push_back(request);
        return Next(openNames, "open");
    }
    QString SaveFileName(const FileDialogRequest& request) override {
        saveRequests.push_back(request);
        return Next(saveNames, "save");
    }

    // Prints to `printTo` as a PDF file when it is set, else the dialog is cancelled.
    bool Print(QPrinter& printer, bool preview,
               const std::function<void(QPrinter*)>& paint) override {
        printRequests.push_back(preview);
        if (printTo.isEmpty()) return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printTo);
        if (printResolution > 0) printer.setResolution(printResolution);
        if (!printPages.isEmpty()) {  // as the dialog leaves a chosen range
            printer.setPrintRange(QPrinter::PageRange);
            printer.setPageRanges(printPages);
        }
        paint(&printer);
        return true;
    }

    // Answers with the front of `choices` (-1 cancels).
    int Choose(const QString& prompt, const QString&, const QStringList& items) override {
        asked.push_back(prompt);
        offered = items;
        if (choices.empty()) return -1;
        const int c = choices.front();
        choices.pop_front();
        return c;
    }
    QString AskText(const QString& prompt, const QString&, const QString&) override {
        asked.push_back(prompt);
        return texts.empty() ? QString() : Next(texts, "text");
    }

    // Draws the front of `formulas` (none: cancelled); what the drawer said is kept.
    std::optional<OutputSegments> AskDrawing(const QString& title, const QString& initial,
                                             const Drawer& draw) override {
        asked.push_back(title + QLatin1Char('|') + initial);
        if (formulas.empty()) return std::nullopt;
        auto r = draw(Next(formulas, "formula"));
        drawerSaid = r ? QString() : QString::fromStdString(r.error());
        return r ? std::optional(r.value()) : std::nullopt;
    }

    std::vector<Box> boxes;
    std::deque<QString> formulas;
    QString drawerSaid;
    std::vector<QString> asked;
    std::deque<QString> texts;
    std::deque<int> choices;
    QStringList offered;
    std::vector<bool> printRequests;
    QString printTo;
    int printResolution = 0;  // the printer's own when 0
    QPageRanges printPages;   // the range chosen in the dialog; none: all pages
    std::deque<Answer> answers;
    std::deque<QString> openNames, saveNames;
    std::vector<FileDialogRequest> openRequests, saveRequests;
    std::function<void(const Box&)> onMessage;

  private:
    static QString Next(std::deque<QString>& names, const char* what) {
        if (names.empty()) {
            ADD_FAILURE() << "unexpected " << what << " dialog";
            return {};
        }
        QString n = names.front();
        names.pop_front();
        return n;
    }
};

}  // namespace zez::test
