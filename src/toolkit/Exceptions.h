// SPDX-License-Identifier: MIT
// The toolkit's error classes. `Exception` is the general error class that window handlers and
// the error report know; the serial port's ECommError deliberately is not one of them.
#pragma once

#include <stdexcept>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }

    std::string Message;  // Windows-1252 text
};

// A file could not be created (or put in place).
class EFCreateError : public Exception {
public:
    using Exception::Exception;
};

// Writing to a file or stream failed.
class EWriteError : public Exception {
public:
    using Exception::Exception;
};

// An index or position outside its range ("Fehler bei Bereichsprüfung").
class ERangeError : public Exception {
public:
    using Exception::Exception;
};

// A text that does not convert to a number.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A registry value that cannot be read as asked (e.g. a value that is not text).
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

// Builds the toolkit's texts for its standard errors.
EFCreateError MakeFCreateError(const std::string& fileName);
EWriteError MakeWriteError(const std::string& fileName);
ERangeError MakeRangeError();
EConvertError MakeConvertError(const std::string& text);
