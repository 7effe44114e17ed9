#include "formats/RegistryFile.h"

#include "formats/AsciiCase.h"
#include "formats/RegistryText.h"

#include <algorithm>

namespace pelorix {
namespace {

constexpr std::string_view kHeader = "WINE REGISTRY Version 2";
constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

using regtext::compareFolded;
using regtext::hasUpperAscii;
using regtext::hexValue;
using regtext::isBlank;
using regtext::isHex;
using regtext::keyHash;
using regtext::lessFolded;
using regtext::parseHexNumber;
using regtext::skipBlanks;
using regtext::textOfUtf16Bytes;
using regtext::trimRight;
using regtext::unescapeInto;

} // namespace

// Reads the lines of a registry file into a RegistryFile.
class RegistryFileParser {
public:
    RegistryFileParser(std::string_view bytes, std::uint64_t fallbackTime)
        : m_bytes(bytes), m_fallbackTime(fallbackTime) {}

    std::optional<RegistryFile> run() {
        std::string_view line;
        if (!RegistryFile::isRegistryFile(m_bytes))
            return std::nullopt;
        nextLine(line);
        m_file.m_keys.front().lastWriteTime = m_fallbackTime;
        m_times.push_back({});
        reserveForKeyLines();
        while (nextLine(line)) {
            const std::string_view body = skipBlanks(line);
            if (body.empty())
                continue;
            switch (body.front()) {
            case ';':
                break;
            case '[':
                keyLine(body);
                break;
            case '#':
                optionLine(body);
                break;
            case '@':
            case '"':
                valueLine(body);
                break;
            default:
                break; // not a line of any kind Wine knows: ignored, as Wine reports and skips it
            }
        }
        resolveTimesAndOrder();
        return std::move(m_file);
    }

private:
    // What the parser keeps of a key beside the key itself.
    struct Times {
        std::uint64_t fileTime = 0; // when hasFileTime
        std::uint64_t lineTime = 0; // when hasLineTime
        std::uint32_t parent = kNone;
        std::uint32_t firstChild = kNone;
        std::uint32_t lastChild = kNone;
        std::uint32_t childCount = 0;
        bool hasFileTime = false;
        bool hasLineTime = false;
    };

    // Room for as many keys as the key lines can make: a line makes at most one key per part of
    // its path, and Wine writes each separator as two backslashes. Pages of the room that stay
    // unused are never touched; the cap keeps a file of nothing but backslashes from asking for
    // more than its size warrants.
    void reserveForKeyLines() {
        std::size_t keys = 1;
        for (std::size_t at = m_bytes.find("\n[", m_pos); at != std::string_view::npos;
             at = m_bytes.find("\n[", at + 2)) {
            const std::string_view line = m_bytes.substr(at + 1, m_bytes.find('\n', at + 1) - (at + 1));
            keys += 1 + static_cast<std::size_t>(std::count(line.begin(), line.end(), '\\')) / 2;
        }
        keys = std::min(keys, m_bytes.size() / 16 + 1);
        m_file.m_keys.reserve(keys);
        m_times.reserve(keys);
    }

    bool nextLine(std::string_view& line) {
        if (m_pos >= m_bytes.size())
            return false;
        const std::size_t nl = m_bytes.find('\n', m_pos);
        const std::size_t end = nl == std::string_view::npos ? m_bytes.size() : nl;
        line = m_bytes.substr(m_pos, end - m_pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        m_pos = nl == std::string_view::npos ? m_bytes.size() : nl + 1;
        return true;
    }

    // A copy of text in the file's name storage, which never moves; folded, its ASCII letters
    // in lower case.
    std::string_view storeName(std::string_view text, bool folded) {
        constexpr std::size_t kBlockSize = 64 * 1024;
        if (m_blockFree < text.size()) {
            const std::size_t size = std::max(kBlockSize, text.size());
            m_file.m_nameBlocks.push_back(std::make_unique_for_overwrite<char[]>(size));
            m_blockNext = m_file.m_nameBlocks.back().get();
            m_blockFree = size;
        }
        char* const at = m_blockNext;
        if (folded)
            std::transform(text.begin(), text.end(), at, toLowerAscii);
        else
            std::copy(text.begin(), text.end(), at);
        m_blockNext += text.size();
        m_blockFree -= text.size();
        return {at, text.size()};
    }

    // The child of parent with the name in any ASCII case, created when missing. Wine writes
    // siblings in order: while every key's children have come in order, a name is either the
    // last child's or new. The first child out of order brings in a table of all keys, used
    // from then on.
    std::uint32_t childOf(std::uint32_t parent, std::string_view name) {
        if (m_slots.empty()) {
            const std::uint32_t last = m_times[parent].lastChild;
            const int order = last == kNone ? -1 : compareFolded(m_file.m_keys[last].foldedName, name);
            if (order == 0)
                return last;
            if (order < 0)
                return addChild(parent, name);
            makeSlots();
        }
        const std::uint64_t hash = keyHash(parent, name);
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t slot = hash & mask; m_slots[slot] != kNone; slot = (slot + 1) & mask) {
            const std::uint32_t k = m_slots[slot];
            if (m_hashes[k] == hash && m_times[k].parent == parent &&
                compareFolded(m_file.m_keys[k].foldedName, name) == 0)
                return k;
        }
        const std::uint32_t index = addChild(parent, name);
        m_hashes.push_back(hash);
        if (2 * m_file.m_keys.size() > m_slots.size())
            makeSlots();
        else
            slotKey(index);
        return index;
    }

    std::uint32_t addChild(std::uint32_t parent, std::string_view name) {
        const auto index = static_cast<std::uint32_t>(m_file.m_keys.size());
        RegistryKey& key = m_file.m_keys.emplace_back();
        key.name = storeName(name, false);
        // A name without upper-case letters is its own folded form.
        key.foldedName = hasUpperAscii(name) ? storeName(name, true) : key.name;
        Times& times = m_times.emplace_back();
        times.parent = parent;
        Times& up = m_times[parent];
        if (up.firstChild == kNone)
            up.firstChild = index;
        up.lastChild = index;
        ++up.childCount;
        return index;
    }

    // The table of childOf: key indices open-addressed by hash (kNone for a free slot), at most
    // half full. Made anew with every key in it, twice as large as the keys need.
    void makeSlots() {
        const std::size_t keys = m_file.m_keys.size();
        std::size_t size = 16;
        while (size < 4 * keys)
            size *= 2;
        if (m_slots.empty()) {
            m_hashes.reserve(keys);
            m_hashes.push_back(0); // the root's, never looked up
            for (std::uint32_t k = 1; k < m_file.m_keys.size(); ++k)
                m_hashes.push_back(keyHash(m_times[k].parent, m_file.m_keys[k].name));
        }
        m_slots.assign(size, kNone);
        for (std::uint32_t k = 1; k < m_file.m_keys.size(); ++k)
            slotKey(k);
    }

    void slotKey(std::uint32_t k) {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t slot = m_hashes[k] & mask;
        while (m_slots[slot] != kNone)
            slot = (slot + 1) & mask;
        m_slots[slot] = k;
    }

    // The key at a path of names below the root, created with its parents when missing. Files
    // list keys depth first, so the keys along the previous line's path are tried first.
    std::uint32_t keyAtPath(std::string_view path) {
        std::uint32_t key = 0;
        std::size_t depth = 0;
        bool reusing = true;
        std::size_t start = 0;
        while (start <= path.size()) {
            const std::size_t sep = std::min(path.find('\\', start), path.size());
            if (sep > start) {
                const std::string_view name = path.substr(start, sep - start);
                const RegistryKey* last =
                    depth < m_lastPath.size() ? &m_file.m_keys[m_lastPath[depth]] : nullptr;
                if (reusing && last != nullptr &&
                    (last->name == name || compareFolded(last->foldedName, name) == 0)) {
                    key = m_lastPath[depth];
                } else {
                    reusing = false;
                    m_lastPath.resize(depth);
                    key = childOf(key, name);
                    m_lastPath.push_back(key);
                }
                ++depth;
            }
            start = sep + 1;
        }
        m_lastPath.resize(depth);
        return key;
    }

    void keyLine(std::string_view body) {
        m_current = kNone;
        std::size_t end = 0;
        if (!unescapeInto(body.substr(1), ']', end, m_path))
            return;
        const std::uint32_t key = keyAtPath(m_path);
        if (key == 0)
            return; // an empty path names no key
        m_current = key;
        const std::string_view rest = skipBlanks(body.substr(1 + end));
        std::size_t digits = 0;
        while (digits < rest.size() && digits < 10 && rest[digits] >= '0' && rest[digits] <= '9')
            ++digits;
        if (digits > 0) {
            std::uint64_t seconds = 0;
            for (std::size_t k = 0; k < digits; ++k)
                seconds = seconds * 10 + static_cast<unsigned>(rest[k] - '0');
            if (seconds <= 0xFFFFFFFFu) {
                m_times[key].lineTime = seconds * 10000000ULL + kUnixEpochAsFileTime;
                m_times[key].hasLineTime = true;
            }
        }
    }

    void optionLine(std::string_view body) {
        if (m_current == kNone) {
            if (body.starts_with("#arch="))
                m_file.m_arch = std::string(trimRight(body.substr(6)));
            return;
        }
        RegistryKey& key = m_file.m_keys[m_current];
        if (body.starts_with("#time=")) {
            if (const auto t = parseHexNumber(trimRight(body.substr(6)))) {
                m_times[m_current].fileTime = *t;
                m_times[m_current].hasFileTime = true;
            }
        } else if (body.starts_with("#class=\"")) {
            std::size_t end = 0;
            if (unescapeInto(body.substr(8), '"', end, m_text))
                key.className = storeName(m_text, false);
        } else if (trimRight(body) == "#link") {
            key.isLink = true;
        }
        // Other options are ignored, as Wine ignores options it does not know.
    }

    void valueLine(std::string_view body) {
        RegistryValue value;
        std::string_view rest;
        if (body.front() == '@') {
            rest = body.substr(1);
        } else {
            std::size_t end = 0;
            auto name = unescapeRegistryString(body.substr(1), '"', end);
            if (!name)
                return;
            value.name = std::move(*name);
            rest = body.substr(1 + end);
        }
        rest = skipBlanks(rest);
        if (rest.empty() || rest.front() != '=')
            return;
        rest = skipBlanks(rest.substr(1));
        // The data is read even when no key is current, so that a continued hex value does not
        // leave its continuation lines behind to be read as lines of their own.
        if (!parseData(rest, value) || m_current == kNone)
            return;
        auto& values = m_file.m_keys[m_current].values;
        for (RegistryValue& existing : values) {
            if (equalsIgnoreCase(existing.name, value.name)) {
                existing.type = value.type;
                existing.text = std::move(value.text);
                return;
            }
        }
        values.push_back(std::move(value));
    }

    bool parseQuoted(std::string_view data, RegistryValue& value, std::uint32_t type) {
        std::size_t end = 0;
        auto text = unescapeRegistryString(data, '"', end);
        if (!text)
            return false;
        // A string value's data ends in one NUL that is not part of its text; a multi-string
        // text keeps its inner NULs and the last string's terminator is implied.
        value.type = type;
        value.text = std::move(*text);
        return true;
    }

    // Hex bytes "01,02,..." with continuation lines ("...,\" then the next line).
    bool parseHexBytes(std::string_view data, std::string& bytes) {
        while (true) {
            std::size_t i = 0;
            while (true) {
                while (i < data.size() && isBlank(data[i]))
                    ++i;
                if (i >= data.size())
                    return true;
                if (data[i] == '\\') {
                    if (!trimRight(data.substr(i + 1)).empty())
                        return false;
                    break; // continued on the next line
                }
                std::size_t n = 0;
                unsigned v = 0;
                while (i + n < data.size() && n < 3 && isHex(data[i + n]))
                    v = v * 16 + hexValue(data[i + n++]);
                if (n == 0 || n > 2)
                    return false;
                bytes += static_cast<char>(v);
                i += n;
                while (i < data.size() && isBlank(data[i]))
                    ++i;
                if (i < data.size() && data[i] == ',')
                    ++i;
            }
            std::string_view next;
            if (!nextLine(next))
                return false;
            data = next;
        }
    }

    bool parseData(std::string_view data, RegistryValue& value) {
        if (data.starts_with("\""))
            return parseQuoted(data.substr(1), value, regtype::Sz);
        if (data.starts_with("str:\""))
            return parseQuoted(data.substr(5), value, regtype::Sz);
        if (data.starts_with("str(2):\""))
            return parseQuoted(data.substr(8), value, regtype::ExpandSz);
        if (data.starts_with("str(7):\""))
            return parseQuoted(data.substr(8), value, regtype::MultiSz);
        if (data.starts_with("dword:")) {
            const std::string_view digits = trimRight(data.substr(6));
            if (digits.size() > 8 || !parseHexNumber(digits))
                return false;
            value.type = regtype::Dword;
            return true;
        }
        std::uint32_t type = regtype::Binary;
        std::string_view bytesText;
        if (data.starts_with("hex:")) {
            bytesText = data.substr(4);
        } else if (data.starts_with("hex(")) {
            const std::size_t close = data.find("):");
            if (close == std::string_view::npos || close - 4 > 8)
                return false;
            const auto t = parseHexNumber(data.substr(4, close - 4));
            if (!t)
                return false;
            type = static_cast<std::uint32_t>(*t);
            bytesText = data.substr(close + 2);
        } else {
            return false;
        }
        std::string bytes;
        if (!parseHexBytes(bytesText, bytes))
            return false;
        value.type = type;
        if (type == regtype::Sz || type == regtype::ExpandSz || type == regtype::MultiSz)
            value.text = textOfUtf16Bytes(bytes);
        return true;
    }

    void resolveTimesAndOrder() {
        auto& keys = m_file.m_keys;
        // Children were created after their parents, so walking backwards sees every child's time
        // before its parent needs it.
        for (std::size_t i = keys.size(); i-- > 1;) {
            const Times& t = m_times[i];
            if (t.hasFileTime)
                keys[i].lastWriteTime = t.fileTime;
            else if (t.hasLineTime)
                keys[i].lastWriteTime = t.lineTime;
            else if (t.firstChild != kNone)
                keys[i].lastWriteTime = keys[t.firstChild].lastWriteTime;
            else
                keys[i].lastWriteTime = m_fallbackTime;
        }
        layOutChildren();
    }

    // Every key's children in one list, each key's run sorted by folded name (Wine writes
    // siblings in order already: most runs need no sorting). Keys were created in order, so
    // each run is filled in creation order.
    void layOutChildren() {
        auto& keys = m_file.m_keys;
        auto& all = m_file.m_children;
        all.resize(keys.size() - 1);
        std::vector<std::uint32_t> next(keys.size());
        std::uint32_t start = 0;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            next[i] = start;
            start += m_times[i].childCount;
        }
        for (std::uint32_t k = 1; k < keys.size(); ++k)
            all[next[m_times[k].parent]++] = k;
        const auto less = [&](std::uint32_t a, std::uint32_t b) {
            return lessFolded(keys[a].foldedName, keys[b].foldedName);
        };
        start = 0;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            const auto run = std::span<std::uint32_t>(all).subspan(start, m_times[i].childCount);
            if (!std::is_sorted(run.begin(), run.end(), less))
                std::stable_sort(run.begin(), run.end(), less);
            keys[i].children = run;
            start += m_times[i].childCount;
        }
    }

    std::string_view m_bytes;
    std::size_t m_pos = 0;
    std::uint64_t m_fallbackTime;
    RegistryFile m_file;
    std::vector<Times> m_times;
    std::vector<std::uint32_t> m_slots;  // the look-up table of childOf, empty while not needed
    std::vector<std::uint64_t> m_hashes; // each key's hash of its parent and folded name, with the table
    char* m_blockNext = nullptr;         // the free part of the last name block
    std::size_t m_blockFree = 0;
    std::string m_path;                    // the path of the key line being read
    std::string m_text;                    // the text of the option line being read
    std::vector<std::uint32_t> m_lastPath; // the keys along the previous key line's path
    std::uint32_t m_current = kNone;
};

RegistryFile::RegistryFile() {
    m_keys.emplace_back();
}

bool RegistryFile::isRegistryFile(std::string_view bytes) noexcept {
    std::string_view first = bytes.substr(0, bytes.find('\n'));
    if (first.ends_with('\r'))
        first.remove_suffix(1);
    return first == kHeader;
}

std::optional<RegistryFile> RegistryFile::parse(std::string_view bytes, std::uint64_t fallbackTime) {
    return RegistryFileParser(bytes, fallbackTime).run();
}

const RegistryKey* RegistryFile::child(const RegistryKey& parent, std::string_view name) const {
    std::size_t position = std::string_view::npos;
    return child(parent, name, position);
}

const RegistryKey* RegistryFile::child(const RegistryKey& parent, std::string_view name,
                                       std::size_t& position) const {
    const auto& children = parent.children;
    if (position != std::string_view::npos && position + 1 < children.size() &&
        compareFolded(m_keys[children[position + 1]].foldedName, name) == 0) {
        ++position;
        return &m_keys[children[position]];
    }
    const auto it = std::lower_bound(children.begin(), children.end(), name,
                                     [&](std::uint32_t index, std::string_view wanted) {
                                         return compareFolded(m_keys[index].foldedName, wanted) < 0;
                                     });
    if (it == children.end() || compareFolded(m_keys[*it].foldedName, name) != 0) {
        position = std::string_view::npos;
        return nullptr;
    }
    position = static_cast<std::size_t>(it - children.begin());
    return &m_keys[*it];
}

const RegistryKey* RegistryFile::find(const RegistryKey& from, std::string_view path) const {
    const RegistryKey* key = &from;
    std::size_t start = 0;
    while (key != nullptr && start <= path.size()) {
        const std::size_t sep = std::min(path.find('\\', start), path.size());
        if (sep > start)
            key = child(*key, path.substr(start, sep - start));
        start = sep + 1;
    }
    return key;
}

const RegistryValue* RegistryFile::value(const RegistryKey& key, std::string_view name) {
    for (const RegistryValue& v : key.values)
        if (equalsIgnoreCase(v.name, name))
            return &v;
    return nullptr;
}

} // namespace pelorix
