#pragma once
// What the module's bindings share (Api.cpp, ApiLogic.cpp, ApiTransfers.cpp): a configuration
// travels as its 12,288 CDF bytes (a Uint8Array), so the host keeps the record and every call is a
// pure function of its arguments; a failure throws a ZezError with the desktop's message and its
// kind.

#include <emscripten/val.h>

#include <cstdint>
#include <string>

#include "config/CdfBytes.h"

namespace zez::wasm {

[[noreturn]] void Throw(const std::string& message, ErrorKind kind);

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
