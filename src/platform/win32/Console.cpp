#include "platform/Console.h"

#include "platform/CodePage.h"
#include "platform/win32/WindowsApi.h"

#include <array>
#include <cstdio>
#include <iostream>
#include <shellapi.h>

namespace pelorix {
namespace {

// A stream buffer over a standard handle: on a console each flushed piece of whole UTF-8
// characters goes out through WriteConsoleW, elsewhere the bytes go out as they are.
class ConsoleBuffer final : public std::streambuf {
public:
    explicit ConsoleBuffer(DWORD which) : m_which(which) {
        setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
    }
    ~ConsoleBuffer() override { sync(); }

protected:
    int_type overflow(int_type c) override {
        if (flush() != 0)
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return flush(); }

private:
    int flush() {
        m_pending.append(pbase(), static_cast<std::size_t>(pptr() - pbase()));
        setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
        if (m_pending.empty())
            return 0;
        const HANDLE handle = ::GetStdHandle(m_which);
        if (!isConsole(handle))
            return writeBytes(handle, m_pending) ? 0 : -1;
        // A character split between two flushes waits for its last bytes.
        std::size_t whole = m_pending.size();
        std::size_t start = whole;
        while (start > 0 && whole - start < 4 &&
               (static_cast<unsigned char>(m_pending[start - 1]) & 0xC0) == 0x80)
            --start;
        if (start > 0) {
            char32_t c = 0;
            if (utf8SequenceAt(m_pending, start - 1, c) == 0 &&
                (static_cast<unsigned char>(m_pending[start - 1]) & 0xC0) == 0xC0)
                whole = start - 1;
        }
        const std::wstring text = winapi::wide(std::string_view(m_pending).substr(0, whole));
        DWORD written = 0;
        const bool ok = text.empty() || ::WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()),
                                                        &written, nullptr) != 0;
        m_pending.erase(0, whole);
        return ok ? 0 : -1;
    }

    // Whether the handle is a console, asked once per handle rather than once per line (each
    // question is a request to the console's server; a standard handle may still be set anew).
    bool isConsole(HANDLE handle) {
        if (handle != m_handle) {
            DWORD mode = 0;
            m_isConsole = ::GetConsoleMode(handle, &mode) != 0;
            m_handle = handle;
        }
        return m_isConsole;
    }

    static bool writeBytes(HANDLE handle, std::string& bytes) {
        if (writeAll(handle, bytes) != 0)
            return false;
        bytes.clear();
        return true;
    }

    DWORD m_which;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    bool m_isConsole = false;
    std::array<char, 4096> m_buffer{};
    std::string m_pending;
};

} // namespace

std::ostream& standardOutput() {
    static ConsoleBuffer buffer(STD_OUTPUT_HANDLE);
    static std::ostream stream(&buffer);
    return stream;
}

std::ostream& standardError() {
    static ConsoleBuffer buffer(STD_ERROR_HANDLE);
    static std::ostream stream(&buffer);
    stream.setf(std::ios::unitbuf); // as std::cerr: every write reaches the console at once
    return stream;
}

std::vector<std::string> programArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i)
        args.push_back(winapi::narrow(wide[i]));
    ::LocalFree(wide);
    return args;
}

} // namespace pelorix
