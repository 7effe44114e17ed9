#include "platform/CCCommon.h"

namespace pelorix {

bool CCCommon::fIsNumeric(std::string_view) {
    return false;
}
bool CCCommon::fIsNull(std::string_view) {
    return false;
}
bool CCCommon::fCheckPath(std::string_view, int) {
    return false;
}
std::int32_t CCCommon::fDelimiterCount(std::string_view, std::string_view) {
    return 0;
}
std::string CCCommon::fGetAbsolutePath(std::string_view) {
    return {};
}
std::string CCCommon::fGetParentDirPath(std::string_view) {
    return {};
}
std::string CCCommon::fReplaceEnviron(std::string_view text) {
    return std::string(text);
}
std::string CCCommon::fGetQuoteSpacesPath(std::string_view path) {
    return std::string(path);
}
std::string CCCommon::fGetDriveName(std::string_view) {
    return {};
}
std::int32_t CCCommon::fEnumDrivePath(std::vector<std::string>&) {
    return 0;
}
std::string CCCommon::fPathSkipRoot(std::string_view) {
    return {};
}

} // namespace pelorix
