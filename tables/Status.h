#pragma once

#include <string>
#include <utility>

namespace tambrel {

// The outcome of a table operation: empty error = done. Table errors never travel as exceptions
// beyond this folder; callers show the message and leave their state as it was.
struct Status {
    std::string error;

    static Status Ok() { return {}; }
    static Status Fail(std::string message) { return Status{std::move(message)}; }
    bool ok() const { return error.empty(); }
    explicit operator bool() const { return ok(); }
};

} // namespace tambrel
