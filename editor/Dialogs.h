#pragma once
// Every message box and file dialog of the program goes through this interface, so that each
// flow can be driven and checked with scripted answers.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "config/Config.h"
#include "config/Result.h"

class QPrinter;

namespace zez {

enum class Buttons { Ok, YesNo };
enum class Icon { None, Information, Question, Warning, Critical };
enum class Answer { Ok, Yes, No };

// The title a box shows when it is given none.
inline const QString kAppTitle = QStringLiteral("Brantel LC ZezUdi");

struct FileDialogRequest {
    QString filter;       // "Name (*.CDF)|*.CDF|All Files (*.*)|*.*"
    QString initialName;  // a folder and a pattern, a file name, or empty
    bool mustExist = false;
    // A save dialog asks before a file that is there is chosen; false: the caller asks.
    bool asksToReplace = true;
};

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // Lines in `text` are joined with carriage return and line feed.
    virtual Answer Message(const QString& text, const QString& title, Buttons buttons,
                           Icon icon) = 0;
    // The chosen file's full path, or an empty text when cancelled.
    virtual QString OpenFileName(const FileDialogRequest& request) = 0;
    virtual QString SaveFileName(const FileDialogRequest& request) = 0;
    // The print dialog (or, with `preview`, the print preview); `paint` draws the pages on the
    // printer the user chose. Returns whether anything was printed or previewed.
    virtual bool Print(QPrinter& printer, bool preview,
                       const std::function<void(QPrinter*)>& paint) = 0;
    // A line of text the user types; empty when cancelled.
    virtual QString AskText(const QString& prompt, const QString& title,
                            const QString& initial) = 0;
    // One of `items` chosen (its index), or -1 when cancelled.
    virtual int Choose(const QString& prompt, const QString& title, const QStringList& items) = 0;
    // A formula the user types, starting from `initial`, drawn by `draw` as it is typed (or
    // its error shown); the drawing accepted, or none when cancelled.
    using Drawer = std::function<Result<OutputSegments>(const QString& formula)>;
    virtual std::optional<OutputSegments> AskDrawing(const QString& title, const QString& initial,
                                                     const Drawer& draw) = 0;
};

}  // namespace zez
