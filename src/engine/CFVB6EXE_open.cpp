// Opening a project in the development environment, or its folder in the file browser.
#include "engine/CFVB6EXE.h"
#include "platform/CCCommon.h"
#include "platform/CDRegistryData.h"
#include "platform/CFWin32API.h"
#include "platform/FileSystemObject.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"

namespace pelorix {

bool CFVB6EXE::OpenVBFile(std::string_view strFilePath) {
    return guard("OpenVBFile", [&] {
        const FileSystemObject fso;
        if (!fso.FileExists(strFilePath)) {
            const std::string text = "ファイルが見つかりません。";
            setLastError(m_lngErrNumber, text, m_strErrProcName);
            m_messageBox.show(text, "ﾌﾟﾛｼﾞｪｸﾄを開く", MsgButtons::Ok, MsgIcon::Exclamation, false);
            return false;
        }
        const std::string command =
            replaceAll(CDRegistryData().fGetShellExProgPath(".vbp", "shell\\open\\command"), "\"%1\"",
                       argumentPath(strFilePath));
        CFWin32API ownApi;
        (m_objWin32API != nullptr ? *m_objWin32API : ownApi).StartProcess(command);
        return true;
    });
}

bool CFVB6EXE::OpenDir(std::string_view strDirPath) {
    return guard("OpenDir", [&] {
        CCCommon common;
        const FileSystemObject fso;
        CFWin32API ownApi;
        CFWin32API& api = m_objWin32API != nullptr ? *m_objWin32API : ownApi;
        std::string browser = api.GetTerminalProfile("Shell", "Explorer", "");
        if (browser.empty())
            browser = "%systemroot%\\explorer.exe";
        browser = common.fReplaceEnviron(browser);
        const auto refuse = [&](const std::string& text, const char* title) {
            setLastError(m_lngErrNumber, text, m_strErrProcName);
            m_messageBox.show(text, title, MsgButtons::Ok, MsgIcon::Exclamation, false);
            return false;
        };
        if (!fso.FileExists(browser))
            return refuse(browser + "が見つかりません。", "ﾌﾟﾛｼﾞｪｸﾄを開く");
        if (!fso.FolderExists(strDirPath))
            return refuse("ﾊﾟｽが見つかりません。", "親ﾌｫﾙﾀﾞを開く");
        // The browser is started without waiting for it: a browser window stays open for as
        // long as the user likes, and nothing uses the result.
        api.StartProcess("\"" + browser + "\" " + argumentPath(strDirPath));
        return true;
    });
}

} // namespace pelorix
