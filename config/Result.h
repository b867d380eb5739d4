#pragma once
// A value or an error message a person can act on. The core never throws for expected failures.

#include <string>
#include <utility>
#include <variant>

namespace zez {

struct Error {
    std::string message;
};

template <class T>
class [[nodiscard]] Result {
  public:
    Result(T value) : v_(std::move(value)) {}
    Result(Error error) : v_(std::move(error)) {}

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() & { return std::get<0>(v_); }
    const T& value() const& { return std::get<0>(v_); }
    T&& value() && { return std::get<0>(std::move(v_)); }
    const std::string& error() const { return std::get<1>(v_).message; }

  private:
    std::variant<T, Error> v_;
};

template <>
class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    Result(Error error) : err_(std::move(error.message)), ok_(false) {}

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const std::string& error() const { return err_; }

  private:
    std::string err_;
    bool ok_ = true;
};

}  // namespace zez
