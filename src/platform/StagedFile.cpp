#include "platform/StagedFile.h"

#include <utility>

namespace pelorix {

StagedFile::StagedFile(std::string finalHost, std::string tempHost)
    : m_finalHost(std::move(finalHost)), m_tempHost(std::move(tempHost)) {}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : m_finalHost(std::move(other.m_finalHost)), m_tempHost(std::move(other.m_tempHost)),
      m_done(other.m_done) {
    other.m_done = true;
}

} // namespace pelorix
