#pragma once

#include "lists/FileDialog.h"
#include "platform/RuntimeError.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace pelorix::test {

// A file dialog that answers from a script: each call takes the next answer, a host path or a
// cancel; with no answer left it is cancelled. Every request is kept.
class ScriptedFileDialog final : public IFileDialog {
public:
    void choose(std::string hostPath) { m_answers.push_back(std::move(hostPath)); }
    void cancel() { m_answers.push_back(std::nullopt); }

    std::string ShowDialog(const FileDialogRequest& request) override {
        m_requests.push_back(request);
        if (m_answers.empty() || !m_answers.front()) {
            if (!m_answers.empty())
                m_answers.pop_front();
            throw vberr::make(vberr::CancelSelected);
        }
        std::string answer = *m_answers.front();
        m_answers.pop_front();
        return answer;
    }

    const std::vector<FileDialogRequest>& requests() const noexcept { return m_requests; }

private:
    std::deque<std::optional<std::string>> m_answers;
    std::vector<FileDialogRequest> m_requests;
};

} // namespace pelorix::test
