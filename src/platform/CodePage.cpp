#include "platform/CodePage.h"

#include "platform/Environment.h"

namespace pelorix {
namespace {

class SystemCodePages final : public TextEncodings {
public:
    std::string decode(std::string_view encoding, std::string_view bytes) const override {
        return decodeFrom(encoding, bytes);
    }
    std::string encode(std::string_view encoding, std::string_view text) const override {
        return encodeTo(encoding, text);
    }
};

} // namespace

const TextEncodings& codePages() noexcept {
    static const SystemCodePages encodings;
    return encodings;
}

std::string ansiToUtf8(std::string_view bytes) {
    return decodeFrom(ansiCodePage(), bytes);
}

std::string utf8ToAnsi(std::string_view text) {
    return encodeTo(ansiCodePage(), text);
}

} // namespace pelorix
