#include "platform/CFWin32API.h"

namespace pelorix {

bool CFWin32API::CreateProcess_Execute(std::string_view, std::string_view, std::int16_t, std::int32_t,
                                       const bool&, std::int32_t, IEventPump*) {
    return false;
}
void CFWin32API::StartProcess(std::string_view) {}
std::string CFWin32API::GetLastErrorMsg(std::int32_t) {
    return {};
}

} // namespace pelorix
