// The lowest layer, below the support library and the toolkit: the root
// object class, the common exceptions, bound events and the integer text rule
// shared by the ini store and the dialogs. Pure C++: it builds natively as
// well as for Windows.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

namespace Base_system {

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

// Every failure of the program is one of these; what() is its one message.
class Exception : public std::exception {
public:
    explicit Exception(std::string Message) : FMessage(std::move(Message)) {}
    const char* what() const noexcept override { return FMessage.c_str(); }
    const std::string& Message() const noexcept { return FMessage; }
    void SetMessage(std::string Message) { FMessage = std::move(Message); }

private:
    std::string FMessage;
};

// The silent abort: a cancelled dialog. The top level shows nothing for it.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
};

// Raised by the toolkit when a file cannot be opened, read or written.
class EStreamError : public Exception {
    using Exception::Exception;
};

// Events are bound callables: they refer to their listener, never own it.
// An empty event is skipped by whoever fires it.
using TNotifyEvent = std::function<void(TObject* Sender)>;

// Signed 32-bit integer text: optional leading blanks, an optional sign,
// decimal digits, or hexadecimal digits after "$", "0x" or "0X", and nothing
// after the digits. Returns false for anything else, an empty text and a
// value outside the 32-bit range included.
bool TryStrToInt(const std::string& Text, std::int32_t& Value);

} // namespace Base_system
