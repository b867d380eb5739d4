#pragma once
// The document: the record, its unsaved-changes flag, the file it belongs to, whether it is
// compiled, the output shown, and the undo stack of its diagram edits. It is the only writer of
// all of them; the windows show it and forward what the user does. Every change of a diagram
// goes through Edit, so one undo step restores it exactly.

#include <QObject>
#include <QString>
#include <QUndoStack>
#include <functional>
#include <optional>

#include "compiler/Compiler.h"
#include "config/Config.h"
#include "editor/ProgramState.h"

namespace zez {

class Document : public QObject {
    Q_OBJECT
  public:
    explicit Document(ProgramState& state, QObject* parent = nullptr);

    static inline const QString kNoFile = QStringLiteral("None");

    const Config& record() const { return state_.record; }
    bool changed() const { return state_.ConfigChanged; }
    const QString& fileName() const { return fileName_; }
    bool hasFile() const { return fileName_ != kNoFile; }
    // False after New or Upload: what is shown did not come from the file Save writes.
    bool fromFile() const { return fromFile_; }
    bool compiled() const { return compiled_; }
    const ControlArray& controlArray() const { return state_.controlArray; }
    int output() const { return output_; }
    QUndoStack* undoStack() { return &stack_; }
    // Moves on with every change of the record (an edit, undo, redo, a replaced record, the
    // note): a result worked out from a copy applies only while it is still the same.
    quint64 revision() const { return revision_; }

    // Applies `change` to the record as one undo step named `what`. Only `output`'s diagram may
    // change. Like every edit it sets ConfigChanged and needs a new compile, also when nothing
    // changed (then no step is recorded). Returns whether the diagram changed.
    bool Edit(int output, const QString& what, const std::function<void(Config&)>& change);
    // As Edit, for changes that may touch any output's diagram: `edited`'s diagrams become the
    // record's, one undo step for all of them. Returns how many outputs changed.
    int EditOutputs(const QString& what, const Config& edited);
    // The record replaced (New, Open, Upload, a restored copy): no history, `changed` is the
    // flag from now on, `name` the file (none keeps it). Then as Restart.
    void Replace(const Config& config, const std::optional<QString>& name, bool changed);
    // Output 1 shown and not compiled: how New and Open leave the window, whatever they did.
    void Restart();
    // Written to `name`: this state is the clean one; the history stays.
    void MarkSaved(const QString& name);
    // The notes window changed the note; `changed` is the flag it leaves.
    void NoteEdited(const NoteBytes& note, bool changed);
    // Compiles into the control array; `progress` gets the 256 steps.
    void Compile(const ProgressFn& progress);
    void SetNotCompiled();
    void ShowOutput(int output);

  signals:
    // An edit, undo or redo touched `output`'s diagram (then shown).
    void Changed(int output);
    // The shown output is `output` (also when asked again for the same one).
    void OutputShown(int output);
    // Output 1 shown, not compiled: the window closes what was open over the diagram.
    void Restarted();
    void CompiledChanged(bool compiled);
    // The flag or the file name changed.
    void StatusChanged();

  private:
    friend class SegmentsCommand;
    using Tables = std::array<std::array<int16_t, kSegments>, 2>;
    Tables Take(int output) const;
    void Put(int output, const Tables& tables);
    void SetFlag(bool changed);
    void ResetHistory();

    ProgramState& state_;
    QUndoStack stack_;
    QString fileName_ = kNoFile;
    bool fromFile_ = true;
    bool compiled_ = false;
    int output_ = 0;
    NoteBytes cleanNote_{};
    bool cleanFlag_ = false;  // ConfigChanged in the clean state
    int applied_ = -1;        // the output a command just wrote, until the index moves
    quint64 revision_ = 0;
};

}  // namespace zez
