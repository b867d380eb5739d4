#include "logic/Formula.h"

#include <cctype>
#include <memory>
#include <optional>

namespace zez {
namespace {

// A function's on-words live on the heap: 8 KiB each would soon exhaust the stack of a deeply
// nested formula. None stands for a formula that did not parse.
using Bits = std::unique_ptr<OutputBits>;

Bits Constant(bool on) {
    auto b = std::make_unique<OutputBits>();
    b->fill(on ? ~uint64_t{0} : 0);
    return b;
}

Bits Signal(int sel) {
    auto b = std::make_unique<OutputBits>();
    for (int w = 0; w < kInputWords; ++w)
        if ((w >> sel) & 1) (*b)[static_cast<std::size_t>(w >> 6)] |= uint64_t{1} << (w & 63);
    return b;
}

// Recursive descent over the text; the first error stops it. Nesting is limited so that a
// hostile formula cannot exhaust the stack.
class Parser {
  public:
    explicit Parser(const std::string& text) : s_(text) {}

    Result<OutputBits> Parse() {
        Skip();
        if (i_ == s_.size()) return Error{"the formula is empty", ErrorKind::Usage};
        auto f = Formula();
        if (f && (Skip(), i_ != s_.size()))
            Fail(s_[i_] == ')' ? "a ( before this )" : "&, | or the end of the formula");
        if (error_ || !f)
            return Error{error_.value_or("the formula cannot be read"), ErrorKind::Usage};
        return *f;
    }

  private:
    static constexpr int kMaxDepth = 200;

    void Skip() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t')) ++i_;
    }
    bool Eat(char c) {
        Skip();
        if (i_ < s_.size() && s_[i_] == c) return ++i_, true;
        return false;
    }
    Bits Fail(const std::string& expected) {
        if (!error_) error_ = "column " + std::to_string(i_ + 1) + ": expected " + expected;
        return nullptr;
    }

    Bits Formula() {
        auto f = Term();
        while (f && Eat('|')) {
            auto g = Term();
            if (!g) return nullptr;
            for (std::size_t k = 0; k < f->size(); ++k) (*f)[k] |= (*g)[k];
        }
        return f;
    }
    Bits Term() {
        auto f = Factor();
        while (f && Eat('&')) {
            auto g = Factor();
            if (!g) return nullptr;
            for (std::size_t k = 0; k < f->size(); ++k) (*f)[k] &= (*g)[k];
        }
        return f;
    }
    Bits Factor() {
        if (++depth_ > kMaxDepth) return Fail("less nesting (at most 200 levels)");
        auto f = Primary();
        --depth_;
        return f;
    }
    Bits Primary() {
        Skip();
        const std::size_t at = i_;
        if (Eat('!')) {
            auto f = Factor();
            if (f)
                for (auto& w : *f) w = ~w;
            return f;
        }
        if (Eat('(')) {
            auto f = Formula();
            if (f && !Eat(')')) return Fail(") to close the ( at column " + std::to_string(at + 1));
            return f;
        }
        if (Eat('0')) return Constant(false);
        if (Eat('1')) return Constant(true);
        if (const int sel = SignalAt(s_, i_); sel >= 0) {
            i_ += 2;
            return Signal(sel);
        }
        if (i_ < s_.size()) {
            const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(s_[i_])));
            if (kind == 'I' || kind == 'P') {
                ++i_;
                return Fail(std::string("a number 1..8 after ") + kind);
            }
        }
        return Fail("a signal (I1..I8, P1..P8), 0, 1, ! or (");
    }

    const std::string& s_;
    std::size_t i_ = 0;
    int depth_ = 0;
    std::optional<std::string> error_;
};

}  // namespace

Result<OutputBits> ParseFormula(const std::string& text) {
    return Parser(text).Parse();
}

}  // namespace zez
