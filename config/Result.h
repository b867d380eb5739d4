#pragma once
// A value or an error message a person can act on. The core never throws for expected failures.

#include <string>
#include <utility>
#include <variant>

namespace zez {

// What kind of failure an error is: hosts choose exit statuses and boxes by the kind, never by
// the wording of the message.
enum class ErrorKind {
    Data,    // the input is not what the command needs (a damaged file, a wrong formula)
    File,    // a file could not be read or written
    Device,  // the port or the module failed
    Usage,   // the request itself is wrong (an option, a name)
};

struct Error {
    std::string message;
    ErrorKind kind = ErrorKind::Data;
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
    ErrorKind kind() const { return std::get<1>(v_).kind; }
    // The error whole, to pass on with its kind.
    const Error& failure() const { return std::get<1>(v_); }

  private:
    std::variant<T, Error> v_;
};

template <>
class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    Result(Error error) : err_(std::move(error)), ok_(false) {}

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const std::string& error() const { return err_.message; }
    ErrorKind kind() const { return err_.kind; }
    const Error& failure() const { return err_; }

  private:
    Error err_;
    bool ok_ = true;
};

}  // namespace zez
