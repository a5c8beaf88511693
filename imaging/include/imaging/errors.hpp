#pragma once
// Run-time errors of the measurement programs. Each names the error the way the
// programs report it ("Overflow", "Subscript out of range", "File not found: NAME").
// The windows show the message and end only the current command; the command-line
// tools print it on stderr and exit non-zero.

#include <stdexcept>
#include <string>

namespace imaging {

enum class ErrorKind {
    Overflow,             // a 16-bit integer left -32768..32767
    SubscriptOutOfRange,  // an index beyond an array's bounds
    DivisionByZero,
    TypeMismatch,         // a text that is not a number
    InvalidArgument,      // e.g. the logarithm of zero, a parameter outside its range
    FileNotFound,
    FileError,            // a file that cannot be read, written or deleted
    BadImage,             // a file that is not a decodable picture
    Refused,              // a command refused with an explanation (nothing was changed)
};

class RunError : public std::runtime_error {
public:
    RunError(ErrorKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    ErrorKind kind() const noexcept { return kind_; }

    static RunError overflow() { return {ErrorKind::Overflow, "Overflow"}; }
    static RunError subscriptOutOfRange() { return {ErrorKind::SubscriptOutOfRange, "Subscript out of range"}; }
    static RunError divisionByZero() { return {ErrorKind::DivisionByZero, "Division by zero"}; }
    static RunError typeMismatch(const std::string& text) {
        return {ErrorKind::TypeMismatch, "Type mismatch: \"" + text + "\" is not a number"};
    }
    static RunError invalidArgument(const std::string& what) {
        return {ErrorKind::InvalidArgument, "Invalid procedure call or argument: " + what};
    }
    static RunError fileNotFound(const std::string& name) { return {ErrorKind::FileNotFound, "File not found: " + name}; }
    static RunError fileError(const std::string& what, const std::string& name) {
        return {ErrorKind::FileError, what + ": " + name};
    }
    static RunError badImage(const std::string& name, const std::string& why) {
        return {ErrorKind::BadImage, "Invalid picture: " + name + ": " + why};
    }
    static RunError refused(const std::string& why) { return {ErrorKind::Refused, why}; }

private:
    ErrorKind kind_;
};

}  // namespace imaging
