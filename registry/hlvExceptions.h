#pragma once
// The program's exception classes; each carries its message text.
#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ERegistryException : public Exception {
public:
    using Exception::Exception;
};
