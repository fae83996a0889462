// The fuzz inputs' mutations: see fuzz.h.
#include "fuzz.h"
#include <stdlib.h>

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

// Lines with their ends ("\n" closes a line; a CR stays with its line).
Strings Lines(const std::string &text)
{
    Strings lines;
    for (size_t start = 0, end; start < text.size(); start = end) {
        end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// Runs of characters that pred accepts, as (start, length).
template <class Pred> std::vector<std::pair<size_t, size_t>> Runs(const std::string &text, Pred pred)
{
    std::vector<std::pair<size_t, size_t>> runs;
    for (size_t i = 0, start; i < text.size(); i++)
        if (pred(text[i])) {
            for (start = i; i < text.size() && pred(text[i]); i++) {
            }
            runs.push_back({ start, i - start });
        }
    return runs;
}

// One structural change; gives its name.
const char *ChangeOnce(std::string &text, const std::string &donor, bool bRegistry, Rng &rng)
{
    // Install fields end at ';', ':' and line ends; registry tokens at blanks.
    auto separator = [&](char ch) {
        return ch == '\r' || ch == '\n' || (bRegistry ? ch == ' ' || ch == '\t' : ch == ';' || ch == ':');
    };
    auto replaceSpan = [&](const std::string &with) {     // a field or token; none: at the start
        auto spans = Runs(text, [&](char ch) { return !separator(ch); });
        auto s = spans.empty() ? std::make_pair<size_t, size_t>(0, 0) : spans[rng.Below(spans.size())];
        text.replace(s.first, s.second, with);
    };
    auto filler = [&](size_t n) { return std::string(n, "x9;\\. "[rng.Below(6)]); };
    Strings lines = Lines(text), donorLines = Lines(donor);
    size_t n = lines.size();
    auto insertLine = [&](const std::string &line) {
        lines.insert(lines.begin() + rng.Below(n + 1), line);
        text.clear();
        for (const std::string &l : lines)
            text += l;
    };
    switch (rng.Below(16)) {
    case 0:
        if (n)
            lines.erase(lines.begin() + rng.Below(n--));
        return insertLine(""), "drop-line";
    case 1:
        return insertLine(n ? lines[rng.Below(n)] : ""), "double-line";
    case 2:
        if (n)
            std::swap(lines[rng.Below(n)], lines[rng.Below(n)]);
        return insertLine(""), "swap-lines";
    case 3:
        return insertLine(donorLines.empty() ? "" : donorLines[rng.Below(donorLines.size())]), "splice-line";
    case 4:
        return insertLine(std::string(bRegistry ? rng.Pick(kTokens) : rng.Pick(kHeaders)) + "\r\n"),
               bRegistry ? "add-token" : "add-header";
    case 5:
    case 6: {
        // Half the time up to 63 bytes shorter: a name joined to the install
        // folder's path then meets the same limits.
        size_t len = kLengths[rng.Below(sizeof kLengths / sizeof kLengths[0])];
        len -= rng.Below(2) ? rng.Below(64) : 0;
        bool bQuoted = bRegistry && rng.Below(2);
        return replaceSpan(bQuoted ? "'" + filler(len) + "'" : filler(len)), "long-field";
    }
    case 7: {       // two fields or tokens run together
        auto at = Runs(text, [&](char ch) { return separator(ch) && ch != '\n'; });
        if (!at.empty())
            text.erase(at[rng.Below(at.size())].first, 1);
        return "drop-separator";
    }
    case 8: {
        auto digits = Runs(text, [](char ch) { return ch >= '0' && ch <= '9'; });
        const char *pszNumber = rng.Pick(kNumbers);
        if (digits.empty())
            replaceSpan(pszNumber);
        else {
            auto s = digits[rng.Below(digits.size())];
            text.replace(s.first, s.second, pszNumber);
        }
        return "number";
    }
    case 9:
        if (bRegistry) {    // half the time the empty name, which would stand for the key around it
            bool bEmpty = rng.Below(2);
            return replaceSpan(bEmpty ? "''" : rng.Pick(kTokens)), bEmpty ? "empty-name" : "token";
        }
        return replaceSpan(""), "empty-field";
    case 10:
        text.insert(rng.Below(text.size() + 1), 1, rng.Below(2) ? '\0' : (char)(0x80 + rng.Below(128)));
        return "odd-byte";
    case 11: {
        std::string out;
        for (size_t i = 0; i < text.size(); i++)
            if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
                out += text[i] == '\n' ? '\r' : text[i];
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
        return insertLine("1;" + filler(1 << 20) + "\r\n"), "1mb-line";
    default:
        if (bRegistry) {    // around the registrar's limit of nested blocks, and far past it
            static const size_t kDepths[] = { 126, 127, 128, 129, 5000 };
            size_t depth = kDepths[rng.Below(5)];
            std::string nest;
            for (size_t i = 0; i < depth; i++)
                nest += "k { ";
            return insertLine(nest + std::string(depth, '}') + "\r\n"), "deep-nesting";
        }
        if (n)
            lines[rng.Below(n)].insert(0, "  ");
        return insertLine(""), "indent";
    }
}

}

// One to three structural changes, or one to eight byte changes.
std::string Mutate(std::string text, const std::string &donor, bool bRegistry, Rng &rng, std::string *pHow)
{
    if (rng.Below(2)) {
        for (size_t i = 0, n = 1 + rng.Below(3); i < n; i++)
            *pHow += (i ? "+" : "") + std::string(ChangeOnce(text, donor, bRegistry, rng));
        return text;
    }
    static const char kBytes[] = { '\0', '\xff', '\x80', ';', ':', '\r', '\n', '\\', '\'', '{', '}', '%', '=', ' ' };
    size_t n = 1 + rng.Below(8);
    for (size_t i = 0; i < n; i++) {
        size_t at = rng.Below(text.size() + 1), kind = rng.Below(5);
        if (kind == 2)
            text.insert(at, 1, (char)rng.Below(256));
        else if (at >= text.size())
            continue;
        else if (kind == 0)
            text[at] ^= (char)(1 << rng.Below(8));
        else if (kind == 1)
            text[at] = kBytes[rng.Below(sizeof kBytes)];
        else if (kind == 3)
            text.erase(at, 1 + rng.Below(4));
        else
            text.insert(rng.Below(text.size() + 1), text.substr(at, 1 + rng.Below(16)));
    }
    *pHow += "bytes x" + std::to_string(n);
    return text;
}
