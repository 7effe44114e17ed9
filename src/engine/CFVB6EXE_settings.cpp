#include "engine/CFVB6EXE.h"
#include "platform/CCCommon.h"
#include "platform/CFWin32API.h"
#include "platform/Environment.h"
#include "platform/Numbers.h"
#include "platform/RuntimeError.h"

namespace pelorix {

namespace {

// A numeric setting of section "Build" as a 32-bit integer (rounded as every number is, see
// Numbers.h); overflow is the runtime's error 6, its description naming the key and the value.
std::int32_t toLong(std::string_view key, std::string_view numericText) {
    if (const auto value = longValue(numericText))
        return *value;
    throw RuntimeError(6, "オーバーフローしました。[Pelorix.ini [Build] " + std::string(key) + "=" +
                              std::string(numericText) + "]");
}

} // namespace

void CFVB6EXE::pSetBuildParameter(bool& rebuildAgain, std::string& keyText, std::string& extension) {
    guard("pSetBuildParameter", [&] {
        CCCommon common;
        CFWin32API& api = *m_objWin32API;
        const auto read = [&](std::string_view key) { return api.GetTerminalProfile("Build", key, ""); };
        const auto readLong = [&](std::string_view key, std::int32_t& value) {
            const std::string text = read(key);
            if (common.fIsNumeric(text))
                value = toLong(key, text);
        };
        const auto readBool = [&](std::string_view key, bool& value) {
            const std::string text = read(key);
            // Any number but 0 is True, a fraction such as 0.5 included.
            if (common.fIsNumeric(text))
                value = numberValue(text) != 0.0;
        };
        const auto readText = [&](std::string_view key, std::string& value) {
            const std::string text = read(key);
            if (!common.fIsNull(text))
                value = text;
        };

        m_strAppPath = App_Path() + "\\";
        m_lngLogWaitTime = 200;
        readLong("LogWaitTime", m_lngLogWaitTime);
        rebuildAgain = true;
        readBool("ReBuildMode", rebuildAgain);
        extension = ".vbp";
        readText("Extension", extension);
        keyText = "shell\\open\\command";
        readText("ShellCommand", keyText);
        m_blnExecute = true;
        readBool("Execute", m_blnExecute);
        m_lngProcessWaitTime = 1000;
        readLong("ProcessWaitTime", m_lngProcessWaitTime);
        readLong("BufferSize", m_lngBufferSize);

        // The two bounds of the waits; a negative value means the default.
        m_lngLogWaitLimit = 30000;
        readLong("LogWaitLimit", m_lngLogWaitLimit);
        if (m_lngLogWaitLimit < 0)
            m_lngLogWaitLimit = 30000;
        m_lngProcessWaitLimit = 600000;
        readLong("ProcessWaitLimit", m_lngProcessWaitLimit);
        if (m_lngProcessWaitLimit <= 0)
            m_lngProcessWaitLimit = 600000;
    });
}

} // namespace pelorix
