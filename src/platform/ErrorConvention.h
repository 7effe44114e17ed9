#pragma once

#include "platform/ErrorLog.h"
#include "platform/RuntimeError.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace pelorix {

// The error convention every procedure of every class follows, in one place.
//
// A class derives from ErrorHolder, which gives it the three last-error members and its module
// name, and wraps the body of each procedure in guard() (an ordinary procedure) or handle() (an
// event handler). On a failure inside the body the wrapper records the error in the last-error
// members, writes one line to the error log naming this procedure and this class, and then either
// raises the same error again with the procedure's name as source (guard) or ends it there
// (handle). What the body holds is released by its destructors while the error leaves it.
class ErrorHolder {
public:
    std::int32_t ErrNumber() const noexcept { return m_lngErrNumber; }
    const std::string& ErrDescription() const noexcept { return m_strErrDescription; }
    const std::string& ErrProcName() const noexcept { return m_strErrProcName; }
    const std::string& ModuleName() const noexcept { return m_moduleName; }

protected:
    explicit ErrorHolder(std::string moduleName) : m_moduleName(std::move(moduleName)) {}
    ~ErrorHolder() = default;
    ErrorHolder(const ErrorHolder&) = default;
    ErrorHolder& operator=(const ErrorHolder&) = default;
    ErrorHolder(ErrorHolder&&) = default;
    ErrorHolder& operator=(ErrorHolder&&) = default;

    template <class Body>
    decltype(auto) guard(std::string_view procName, Body&& body) {
        try {
            return std::forward<Body>(body)();
        } catch (...) {
            throw recordAndLog(currentAsRuntimeError(), procName, false).withSource(std::string(procName));
        }
    }

    // For event handlers: the error stops here. Returns false when the body failed.
    template <class Body>
    bool handle(std::string_view procName, bool show, Body&& body) {
        try {
            std::forward<Body>(body)();
            return true;
        } catch (...) {
            recordAndLog(currentAsRuntimeError(), procName, show);
            return false;
        }
    }

    // Records an error in the last-error members without logging it (a procedure that stores a
    // message of its own, such as the busy message, before showing it).
    void setLastError(std::int32_t number, std::string description, std::string procName);

    // Records and logs an error as the convention does, and gives it back for raising.
    const RuntimeError& recordAndLog(const RuntimeError& error, std::string_view procName, bool show);

    std::int32_t m_lngErrNumber = 0;
    std::string m_strErrDescription;
    std::string m_strErrProcName;

private:
    std::string m_moduleName;
};

} // namespace pelorix
