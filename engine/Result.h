#pragma once

#include <optional>
#include <string>
#include <utility>

namespace tambrel {

// The outcome of an operation the user can make fail: a value, or the message to show.
template <typename T> struct Result {
    std::optional<T> value;
    std::string error; // empty exactly when value holds something

    static Result ok(T v) { return Result{std::move(v), {}}; }
    static Result fail(std::string message) { return Result{std::nullopt, std::move(message)}; }
    explicit operator bool() const { return value.has_value(); }
};

} // namespace tambrel
