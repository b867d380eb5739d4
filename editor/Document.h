#pragma once
// The document: the record with its unsaved-changes flag, and the undo stack of its diagram
// edits. Every change of a diagram goes through Edit, so one undo step restores it exactly; the
// windows only show the document and forward what the user does.

#include <QObject>
#include <QUndoStack>
#include <functional>

#include "config/Config.h"

namespace zez {

struct ProgramState;

class Document : public QObject {
    Q_OBJECT
  public:
    explicit Document(ProgramState& state, QObject* parent = nullptr);

    ProgramState& state() { return state_; }
    const Config& record() const;
    QUndoStack* undoStack() { return &stack_; }

    // Applies `change` to the record as one undo step named `what`. Only `output`'s diagram may
    // change. Like every edit it sets ConfigChanged, also when nothing changed (then no step is
    // recorded). Returns whether the diagram changed.
    bool Edit(int output, const QString& what, const std::function<void(Config&)>& change);

    // The record was replaced (New, Open, Upload): no history; this state is the clean one, with
    // the flag as it now stands.
    void ResetHistory();
    // Saved: this state is the clean one; the history stays.
    void MarkClean();

  signals:
    // An edit, undo or redo touched `output`'s diagram: show it, and it is no longer compiled.
    void Changed(int output);

  private:
    friend class SegmentsCommand;
    using Tables = std::array<std::array<int16_t, kSegments>, 2>;
    Tables Take(int output) const;
    void Put(int output, const Tables& tables);

    ProgramState& state_;
    QUndoStack stack_;
    NoteBytes cleanNote_{};
    bool cleanFlag_ = false;  // ConfigChanged in the clean state
    int applied_ = -1;        // the output a command just wrote, until the index moves
};

}  // namespace zez
