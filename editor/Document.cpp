#include "editor/Document.h"

#include <QDir>
#include <QUndoCommand>
#include <vector>

namespace zez {

// One diagram edit: the output's two tables before and after it.
class SegmentsCommand final : public QUndoCommand {
  public:
    SegmentsCommand(Document& doc, int output, const QString& what, Document::Tables before,
                    Document::Tables after)
        : QUndoCommand(what), doc_(doc), output_(output), before_(before), after_(after) {}
    void redo() override { doc_.Put(output_, after_); }
    void undo() override { doc_.Put(output_, before_); }

  private:
    Document& doc_;
    int output_;
    Document::Tables before_, after_;
};

Document::Document(ProgramState& state, QObject* parent) : QObject(parent), state_(state) {
    stack_.setUndoLimit(500);
    // The stack moves its index after a command has run: the flag is decided then.
    connect(&stack_, &QUndoStack::indexChanged, this, [this] {
        if (applied_ < 0) return;
        const int output = applied_;
        applied_ = -1;
        // Back at the clean state with the note as it was: the flag is what it was there.
        const bool clean = stack_.isClean() && state_.record.NoteData == cleanNote_;
        SetFlag(clean ? cleanFlag_ : true);
        SetNotCompiled();
        ShowOutput(output);
        emit Changed(output);
    });
    ResetHistory();
}

Document::Tables Document::Take(int output) const {
    return {state_.record.SegType[output], state_.record.SegInput[output]};
}

void Document::Put(int output, const Tables& tables) {
    state_.record.SegType[output] = tables[0];
    state_.record.SegInput[output] = tables[1];
    applied_ = output;
    ++revision_;
}

void Document::SetFlag(bool changed) {
    const bool was = state_.ConfigChanged;
    state_.ConfigChanged = changed;
    if (was != changed) emit StatusChanged();
}

bool Document::Edit(int output, const QString& what, const std::function<void(Config&)>& change) {
    Config edited = state_.record;
    change(edited);
    const Tables before = Take(output);
    const Tables after{edited.SegType[output], edited.SegInput[output]};
    if (before == after) {
        SetFlag(true);
        SetNotCompiled();
        ShowOutput(output);
        emit Changed(output);
        return false;
    }
    // The push runs the command's redo, which writes the tables.
    stack_.push(new SegmentsCommand(*this, output, what, before, after));  // owned by the stack
    return true;
}

int Document::EditOutputs(const QString& what, const Config& edited) {
    std::vector<int> touched;
    for (int o = 0; o < kOutputs; ++o)
        if (Take(o) != Tables{edited.SegType[o], edited.SegInput[o]}) touched.push_back(o);
    if (touched.empty()) return Edit(output_, what, [](Config&) {}) ? 1 : 0;
    stack_.beginMacro(what);
    for (int o : touched)  // owned by the stack
        stack_.push(new SegmentsCommand(*this, o, what, Take(o),
                                        Tables{edited.SegType[o], edited.SegInput[o]}));
    stack_.endMacro();
    return static_cast<int>(touched.size());
}

void Document::ResetHistory() {
    stack_.clear();
    stack_.setClean();
    cleanNote_ = state_.record.NoteData;
    cleanFlag_ = state_.ConfigChanged;
}

void Document::Replace(const Config& config, const std::optional<QString>& name, bool changed) {
    state_.record = config;
    ++revision_;
    // As the system writes it (C:\\Site\\a.CDF on Windows), whatever gave it: every place that
    // shows the name (title, status bar, messages, recent files) shows it so.
    if (name) fileName_ = QDir::toNativeSeparators(*name);
    fromFile_ = name.has_value();
    state_.ConfigChanged = changed;
    ResetHistory();
    emit StatusChanged();
    Restart();
}

void Document::Restart() {
    SetNotCompiled();
    output_ = 0;
    emit OutputShown(0);
    emit Restarted();
}

void Document::MarkSaved(const QString& name) {
    fileName_ = QDir::toNativeSeparators(name);
    fromFile_ = true;
    state_.ConfigChanged = false;
    stack_.setClean();
    cleanNote_ = state_.record.NoteData;
    cleanFlag_ = false;
    emit StatusChanged();
}

void Document::NoteEdited(const NoteBytes& note, bool changed) {
    state_.record.NoteData = note;
    ++revision_;
    SetFlag(changed);
    SetNotCompiled();
}

void Document::Compile(const ProgressFn& progress) {
    zez::Compile(state_.record, state_.controlArray, Engine::Fast, progress);
    compiled_ = true;
    emit CompiledChanged(true);
}

void Document::SetNotCompiled() {
    compiled_ = false;
    emit CompiledChanged(false);
}

void Document::ShowOutput(int output) {
    output_ = std::clamp(output, 0, kOutputs - 1);
    emit OutputShown(output_);
}

}  // namespace zez
