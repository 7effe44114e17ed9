// Parses arbitrary bytes as a Wine registry file: nothing may crash or hang, and the tree that
// comes out must hold together (every child index valid, children sorted, every key found again
// by its own name, string values of string types only).
#include "formats/RegistryFile.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

void walk(const pelorix::RegistryFile& file, const pelorix::RegistryKey& key, int depth) {
    check(depth < 100000);
    const std::string_view* previous = nullptr;
    for (std::uint32_t index : key.children) {
        check(index > 0 && index < file.keyCount());
        const pelorix::RegistryKey& child = file.key(index);
        check(previous == nullptr || *previous <= child.foldedName);
        previous = &child.foldedName;
        check(!child.name.empty() && child.name.find('\\') == std::string_view::npos);
        check(file.child(key, child.name) != nullptr);
        for (const pelorix::RegistryValue& v : child.values) {
            const bool stringType = v.type == pelorix::regtype::Sz || v.type == pelorix::regtype::ExpandSz ||
                                    v.type == pelorix::regtype::MultiSz;
            check(!v.text || stringType);
            check(pelorix::RegistryFile::value(child, v.name) != nullptr);
        }
        walk(file, child, depth + 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // With and without the header, so that the body is reached for any input.
    for (const std::string& text : {std::string(bytes), "WINE REGISTRY Version 2\n" + std::string(bytes)}) {
        const auto file = pelorix::RegistryFile::parse(text, 1);
        if (!file)
            continue;
        check(file->keyCount() >= 1);
        walk(*file, file->root(), 0);
    }
    std::size_t end = 0;
    if (pelorix::unescapeRegistryString(bytes, '"', end))
        check(end >= 1 && end <= size);
    return 0;
}
