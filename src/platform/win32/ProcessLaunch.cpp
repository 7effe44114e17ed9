// Processes on Windows: CreateProcessW with the command line as given (no shell), standard
// handles on NUL, and a job object holding the program with everything it starts.
#include "platform/ProcessLaunch.h"

#include "platform/CFWin32API.h"
#include "platform/CommandLine.h"
#include "platform/Environment.h"
#include "platform/HostFile.h"
#include "platform/Text.h"
#include "platform/Win32Error.h"
#include "platform/win32/WindowsApi.h"

#include <vector>

namespace pelorix {
namespace {

// How long the end of a terminated job's first process is waited for.
constexpr DWORD KillWaitMs = 2000;

class Win32Child final : public ChildProcess {
public:
    Win32Child(winapi::UniqueHandle process, winapi::UniqueHandle job)
        : m_process(std::move(process)), m_job(std::move(job)) {}

    std::int32_t waitFor(int timeoutMs) override {
        switch (::WaitForSingleObject(m_process.get(), static_cast<DWORD>(std::max(timeoutMs, 0)))) {
        case WAIT_OBJECT_0:
            return WaitObject0;
        case WAIT_TIMEOUT:
            return WaitTimeout;
        default:
            return WaitFailed;
        }
    }

    void endGroup() override {
        if (m_job)
            ::TerminateJobObject(m_job.get(), 1);
        else
            ::TerminateProcess(m_process.get(), 1);
        ::WaitForSingleObject(m_process.get(), KillWaitMs);
    }

    int processId() const noexcept override { return static_cast<int>(::GetProcessId(m_process.get())); }

private:
    winapi::UniqueHandle m_process;
    winapi::UniqueHandle m_job;
};

// The NUL device as an inheritable handle, for the program's standard handles.
winapi::UniqueHandle openNul(DWORD access) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return winapi::UniqueHandle(::CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// A job that ends its processes when its last handle closes, also when this process is killed or
// its console is closed.
winapi::UniqueHandle jobEndingWithUs() {
    winapi::UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
    if (!job)
        return job;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits) == 0)
        return winapi::UniqueHandle();
    return job;
}

// The inheritance list of a start: the program inherits the NUL handles and nothing else of ours.
class InheritedHandles {
public:
    explicit InheritedHandles(std::vector<HANDLE> handles) : m_handles(std::move(handles)) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        m_storage.resize(size);
        m_list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_storage.data());
        if (::InitializeProcThreadAttributeList(m_list, 1, 0, &size) == 0) {
            m_list = nullptr;
            return;
        }
        if (::UpdateProcThreadAttribute(m_list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, m_handles.data(),
                                        m_handles.size() * sizeof(HANDLE), nullptr, nullptr) == 0) {
            ::DeleteProcThreadAttributeList(m_list);
            m_list = nullptr;
        }
    }
    ~InheritedHandles() {
        if (m_list != nullptr)
            ::DeleteProcThreadAttributeList(m_list);
    }
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;
    LPPROC_THREAD_ATTRIBUTE_LIST list() const noexcept { return m_list; }

private:
    std::vector<HANDLE> m_handles;
    std::vector<char> m_storage;
    LPPROC_THREAD_ATTRIBUTE_LIST m_list = nullptr;
};

} // namespace

bool isRegularFile(const std::string& hostPath, bool* isFolder) {
    const DWORD attributes = ::GetFileAttributesW(winapi::widePath(hostPath).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder != nullptr)
        *isFolder = folder;
    return !folder && (attributes & FILE_ATTRIBUTE_DEVICE) == 0;
}

// A program in the folders of PATH, with ".exe" added to a name without an extension.
std::string findOnHostPath(std::string_view name) {
    const std::string path = hostEnv("PATH").value_or(std::string());
    const bool noExtension = name.find('.') == std::string_view::npos;
    for (const std::string& dir : split(path, ';')) {
        if (dir.empty())
            continue;
        std::string candidate = dir;
        if (candidate.back() != '\\' && candidate.back() != '/')
            candidate += '\\';
        candidate += std::string(name);
        if (noExtension && isRegularFile(candidate + ".exe"))
            return candidate + ".exe";
        if (isRegularFile(candidate))
            return candidate;
    }
    return {};
}

std::unique_ptr<ChildProcess> launch(std::string_view programPath, std::string_view commandLine,
                                     AbandonedProcess abandoned) {
    const std::vector<std::string> args = splitCommandLine(commandLine);
    const std::string program = programToLaunch(programPath, args);

    const winapi::UniqueHandle input = openNul(GENERIC_READ);
    const winapi::UniqueHandle output = openNul(GENERIC_WRITE);
    if (!input || !output)
        failStart(winapi::lastError());
    const InheritedHandles inherited({input.get(), output.get()});

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input.get();
    startup.StartupInfo.hStdOutput = output.get();
    startup.StartupInfo.hStdError = output.get();
    startup.lpAttributeList = inherited.list();

    // The job is made before the start, and the program joins it before its first instruction.
    winapi::UniqueHandle job = abandoned == AbandonedProcess::EndGroup
                                   ? jobEndingWithUs()
                                   : winapi::UniqueHandle(::CreateJobObjectW(nullptr, nullptr));
    DWORD flags = CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT;
    if (inherited.list() != nullptr)
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    else
        startup.StartupInfo.cb = sizeof(STARTUPINFOW);

    const std::wstring application = winapi::widePath(program);
    std::wstring line = winapi::wide(commandLine);
    line.push_back(L'\0'); // CreateProcessW may write into the line
    PROCESS_INFORMATION started{};
    if (::CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                         &startup.StartupInfo, &started) == 0)
        failStartOf(winapi::lastError(), program);
    winapi::UniqueHandle process(started.hProcess);
    const winapi::UniqueHandle thread(started.hThread);
    if (job && ::AssignProcessToJobObject(job.get(), process.get()) == 0)
        job.reset(); // a system that allows no nested jobs: the program alone is ended
    ::ResumeThread(thread.get());
    return std::make_unique<Win32Child>(std::move(process), std::move(job));
}

// A batch file runs through its shell, as CreateProcess starts it.
bool isSystemProgram(const std::string& hostProgram) {
    return endsWithIgnoreCase(hostProgram, ".bat") || endsWithIgnoreCase(hostProgram, ".cmd");
}

} // namespace pelorix
