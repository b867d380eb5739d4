#pragma once
// What the module's bindings share (Api.cpp, ApiLogic.cpp, ApiTransfers.cpp): a configuration
// travels as its 12,288 CDF bytes (a Uint8Array), so the host keeps the record and every call is a
// pure function of its arguments; a failure throws a ZezError with the desktop's message and its
// kind.
//
// A failure is a C++ exception (Throw) caught where the binding returns (Guard): the frames in
// between unwind and give back what they hold, the binding returns an empty value and hands the
// failure to api.js, which throws the ZezError once the call has left the module. (A JavaScript
// exception thrown through the module's frames would leak their heap and Embind's argument copies.)

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <cstdint>
#include <exception>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

#include "config/CdfBytes.h"

namespace zez::wasm {

struct Failure {
    std::string message;
    ErrorKind kind;
};

[[noreturn]] void Throw(const std::string& message, ErrorKind kind);
// Hands a caught failure to api.js, which throws it when the call returns.
void Report(const Failure& failure);

// Guard<&F>::Call is F with its failures reported instead of thrown: every binding goes through it
// (Bind), else a failure would abort the module.
template <auto F>
struct Guard;
template <class R, class... A, R (*F)(A...)>
struct Guard<F> {
    static R Call(A... args) {
        try {
            return F(std::forward<A>(args)...);
        } catch (const Failure& failure) {
            Report(failure);
        } catch (const std::bad_alloc&) {
            Report({"There is not enough memory for this; it was not done.", ErrorKind::Usage});
        } catch (const std::exception& e) {
            Report({std::string("The module failed: ") + e.what() + "; nothing was changed.",
                    ErrorKind::Data});
        } catch (...) {
            Report({"The module failed; nothing was changed.", ErrorKind::Data});
        }
        if constexpr (std::is_same_v<R, emscripten::val>)
            return emscripten::val::undefined();
        else
            return R();
    }
};

template <auto F>
void Bind(const char* name) {
    emscripten::function(name, &Guard<F>::Call);
}

template <class T>
T Take(Result<T> r) {
    if (!r) Throw(r.error(), r.kind());
    return std::move(r).value();
}

inline void Take(const Result<void>& r) {
    if (!r) Throw(r.error(), r.kind());
}

// An output's number 0..7, or a usage error counting them 1..8 as the command line does.
int Output(int output);

// A segment 0..255 (row by row), a code or an input selection 0..15 (`what` says which), a row
// 0..15; else a usage error that names it.
int Segment(int seg);
int Value(int value, const char* what);
int Row(int row);

// A copy of `n` bytes as a new Uint8Array.
emscripten::val Bytes(const uint8_t* data, std::size_t n);
emscripten::val CdfOf(const Config& config);
// The record the bytes hold; too few bytes are refused with the desktop's message.
Config ConfigOf(const std::string& cdf);
// Refuses what the command line refuses to compile or send, unless `force`: `nothing` says what
// did not happen ("nothing was sent"), `name` names the bytes.
void RefuseUnlessConfiguration(const std::string& cdf, bool force, const std::string& name,
                               const char* nothing);

}  // namespace zez::wasm
