#include "platform/ErrorConvention.h"

namespace pelorix {

void ErrorHolder::setLastError(std::int32_t number, std::string description, std::string procName) {
    m_lngErrNumber = number;
    m_strErrDescription = std::move(description);
    m_strErrProcName = std::move(procName);
}

const RuntimeError& ErrorHolder::recordAndLog(const RuntimeError& error, std::string_view procName,
                                              bool show) {
    setLastError(error.number(), error.description(), std::string(procName));
    WriteErrorLog(error.number(), error.description(), procName, m_moduleName, ErrorLevel::Error, show);
    return error;
}

} // namespace pelorix
