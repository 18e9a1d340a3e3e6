#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace platform {

// Why an operation failed, in the words its user reads: the message, and for
// a notice of its own the notice's title (empty: the application's name).
// `code` is the system's error number when a system call failed, so that a
// caller can word that failure its own way; 0 otherwise.
struct Error {
    std::string message{};
    std::string title{};
    int code = 0;
};

// The value of an operation that can fail on outside input, or why it failed.
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : state(std::in_place_index<0>, std::move(value)) {}  // NOLINT: a value is a result
    Result(Error error) : state(std::in_place_index<1>, std::move(error)) {}  // NOLINT: so is an error

    bool has_value() const { return state.index() == 0; }
    explicit operator bool() const { return has_value(); }
    T& value() & { return std::get<0>(state); }
    const T& value() const& { return std::get<0>(state); }
    T&& value() && { return std::get<0>(std::move(state)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T&& operator*() && { return std::move(*this).value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const Error& error() const { return std::get<1>(state); }

private:
    std::variant<T, Error> state;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : failure(std::move(error)) {}  // NOLINT: an error is a result

    bool has_value() const { return !failure; }
    explicit operator bool() const { return has_value(); }
    const Error& error() const { return *failure; }

private:
    std::optional<Error> failure;
};

}  // namespace platform
