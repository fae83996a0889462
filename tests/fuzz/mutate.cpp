// Mutations of scripts: see mutate.h.
#include "mutate.h"
#include <string.h>
#include <vector>

uint64_t Rng::Next()
{
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

namespace {

// Lengths around the 256-byte text fields and 260-byte paths, and far past
// them; 4094 to 4096 meet the registrar's token buffer.
const size_t kLengths[] = { 255, 256, 257, 260, 272, 1000, 4094, 4095, 4096, 10000 };
const char *const kNumbers[] = { "4294967295", "4294967296", "2147483647", "2147483648", "-1", "-2147483648",
                                 "-2147483649", "99999999999999999999", "-0", " +7", "0x10" };
const char *const kHeaders[] = { "[INSTALL]", "[TEST]", "[DL]", "[ACTIONS]", "[TEXT]", "[REQUIRED_ACTIONS]",
                                 "[END]", "[REGISTRY]", "[PLUGIN]", "[FILE]", "[FILEDATE]", "[FILEVER]" };
const char *const kTokens[] = { "''", "{", "}", "=", "}}", "{x", "Delete", "ForceRemove", "NoRemove", "Val", "s", "d",
                                "b", "q", "HKCU", "HKPD", "HKDD", "CLSID", "'", "'it''s'", "%MODULE%", "%%", "%x" };

template <size_t N> const char *Pick(const char *const (&a)[N], Rng &rng)
{
    return a[rng.Below(N)];
}

struct Span {
    size_t pos, len;
};

// Install fields end at ';', ':' and line ends; registry tokens at blanks.
bool IsSeparator(char ch, ScriptKind kind)
{
    if (kind == ScriptKind::Install)
        return ch == ';' || ch == ':' || ch == '\r' || ch == '\n';
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';
}

std::vector<Span> Spans(const std::string &text, ScriptKind kind)
{
    std::vector<Span> spans;
    for (size_t i = 0; i < text.size();) {
        if (IsSeparator(text[i], kind)) {
            i++;
            continue;
        }
        size_t start = i;
        while (i < text.size() && !IsSeparator(text[i], kind))
            i++;
        spans.push_back({ start, i - start });
    }
    return spans;
}

// Lines with their ends ("\n" closes a line; a CR stays with its line).
std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

std::string Join(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &l : lines)
        text += l;
    return text;
}

std::string Filler(size_t n, Rng &rng)
{
    static const char kChars[] = "x9;\\. ";
    return std::string(n, kChars[rng.Below(sizeof kChars - 1)]);
}

// Replaces one span (field or token) with what make() gives; a text without
// spans gets it inserted at the start.
template <class Make> void ReplaceSpan(std::string &text, ScriptKind kind, Rng &rng, Make make)
{
    std::vector<Span> spans = Spans(text, kind);
    Span s = spans.empty() ? Span{ 0, 0 } : spans[rng.Below(spans.size())];
    text.replace(s.pos, s.len, make(text.substr(s.pos, s.len)));
}

// One structural change; gives its name.
const char *ChangeOnce(std::string &text, const std::string &donor, ScriptKind kind, Rng &rng)
{
    std::vector<std::string> lines = Lines(text);
    size_t nLines = lines.size();
    switch (rng.Below(16)) {
    case 0:
        if (nLines)
            lines.erase(lines.begin() + rng.Below(nLines));
        text = Join(lines);
        return "drop-line";
    case 1:
        if (nLines) {
            size_t i = rng.Below(nLines);
            lines.insert(lines.begin() + i, lines[i]);
        }
        text = Join(lines);
        return "double-line";
    case 2:
        if (nLines)
            std::swap(lines[rng.Below(nLines)], lines[rng.Below(nLines)]);
        text = Join(lines);
        return "swap-lines";
    case 3: {
        std::vector<std::string> donorLines = Lines(donor);
        if (!donorLines.empty())
            lines.insert(lines.begin() + rng.Below(nLines + 1), donorLines[rng.Below(donorLines.size())]);
        text = Join(lines);
        return "splice-line";
    }
    case 4:
        lines.insert(lines.begin() + rng.Below(nLines + 1),
                     std::string(kind == ScriptKind::Install ? Pick(kHeaders, rng) : Pick(kTokens, rng)) + "\r\n");
        text = Join(lines);
        return kind == ScriptKind::Install ? "add-header" : "add-token";
    case 5:
    case 6: {
        // Half the time up to 63 bytes shorter: a name joined to the install
        // folder's path then meets the same limits.
        size_t n = kLengths[rng.Below(sizeof kLengths / sizeof kLengths[0])];
        if (rng.Below(2))
            n -= rng.Below(64);
        bool bQuoted = kind == ScriptKind::Registry && rng.Below(2);
        ReplaceSpan(text, kind, rng, [&](const std::string &) {
            return bQuoted ? "'" + Filler(n, rng) + "'" : Filler(n, rng);
        });
        return "long-field";
    }
    case 7: {
        // A separator removed: two fields or tokens run together.
        std::vector<size_t> at;
        for (size_t i = 0; i < text.size(); i++)
            if (IsSeparator(text[i], kind) && text[i] != '\n')
                at.push_back(i);
        if (!at.empty())
            text.erase(at[rng.Below(at.size())], 1);
        return "drop-separator";
    }
    case 8: {
        std::vector<Span> digits;
        for (size_t i = 0; i < text.size(); i++) {
            size_t start = i;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9')
                i++;
            if (i > start)
                digits.push_back({ start, i - start });
        }
        const char *pszNumber = Pick(kNumbers, rng);
        if (digits.empty()) {
            ReplaceSpan(text, kind, rng, [&](const std::string &) { return std::string(pszNumber); });
        } else {
            Span s = digits[rng.Below(digits.size())];
            text.replace(s.pos, s.len, pszNumber);
        }
        return "number";
    }
    case 9:
        if (kind == ScriptKind::Registry) {
            // Half the time the empty name, which would stand for the key around it.
            bool bEmpty = rng.Below(2);
            ReplaceSpan(text, kind, rng, [&](const std::string &) { return std::string(bEmpty ? "''" : Pick(kTokens, rng)); });
            return bEmpty ? "empty-name" : "token";
        }
        ReplaceSpan(text, kind, rng, [](const std::string &) { return std::string(); });
        return "empty-field";
    case 10:
        text.insert(rng.Below(text.size() + 1), 1, rng.Below(2) ? '\0' : (char)(0x80 + rng.Below(128)));
        return "odd-byte";
    case 11: {
        std::string out;
        for (size_t i = 0; i < text.size(); i++) {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                continue;
            out += text[i] == '\n' ? '\r' : text[i];
        }
        text = out;
        return "cr-only";
    }
    case 12:
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        return "no-final-newline";
    case 13:
        text.clear();
        return "empty";
    case 14:
        lines.insert(lines.begin() + rng.Below(nLines + 1), "1;" + Filler(1 << 20, rng) + "\r\n");
        text = Join(lines);
        return "1mb-line";
    default:
        if (kind == ScriptKind::Registry) {
            // Around the registrar's limit of nested blocks, and far past it.
            static const size_t kDepths[] = { 126, 127, 128, 129, 5000 };
            size_t n = kDepths[rng.Below(5)];
            std::string nest;
            for (size_t i = 0; i < n; i++)
                nest += "k { ";
            nest += std::string(n, '}');
            lines.insert(lines.begin() + rng.Below(nLines + 1), nest + "\r\n");
            text = Join(lines);
            return "deep-nesting";
        }
        if (nLines)
            lines[rng.Below(nLines)].insert(0, "  ");
        text = Join(lines);
        return "indent";
    }
}

} // namespace

std::string MutateStructure(const std::string &text, const std::string &donor, ScriptKind kind, Rng &rng,
                            std::string *pHow)
{
    std::string out = text;
    size_t n = 1 + rng.Below(3);
    for (size_t i = 0; i < n; i++) {
        const char *pszName = ChangeOnce(out, donor, kind, rng);
        *pHow += (i ? "+" : "") + std::string(pszName);
    }
    return out;
}

std::string MutateBytes(const std::string &text, Rng &rng, std::string *pHow)
{
    static const char kBytes[] = { '\0', '\xff', '\x80', ';', ':', '\r', '\n', '\\', '\'', '{', '}', '%', '=', ' ' };
    std::string out = text;
    size_t n = 1 + rng.Below(8);
    for (size_t i = 0; i < n; i++) {
        size_t at = rng.Below(out.size() + 1);
        switch (rng.Below(5)) {
        case 0:
            if (at < out.size())
                out[at] ^= (char)(1 << rng.Below(8));
            break;
        case 1:
            if (at < out.size())
                out[at] = kBytes[rng.Below(sizeof kBytes)];
            break;
        case 2:
            out.insert(at, 1, (char)rng.Below(256));
            break;
        case 3:
            if (at < out.size())
                out.erase(at, 1 + rng.Below(4));
            break;
        default:
            if (at < out.size())
                out.insert(rng.Below(out.size() + 1), out.substr(at, 1 + rng.Below(16)));
            break;
        }
    }
    *pHow += "bytes x" + std::to_string(n);
    return out;
}
