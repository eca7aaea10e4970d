#include "Paths.h"

#include "data/DeviceNames.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace unrar {

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

char Lower(char c) {
    return char(std::tolower(static_cast<unsigned char>(c)));
}

} // namespace

TPathVerdict SplitSafePath(const std::string& path, std::vector<std::string>& parts) {
    parts.clear();
    if (!path.empty() && IsSeparator(path[0])) return TPathVerdict::Absolute;
    if (path.find(':') != std::string::npos) return TPathVerdict::Drive;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t end = pos;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        std::string part = path.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") return TPathVerdict::ParentRef;
        // Windows drops trailing dots and blanks, so ".. " would climb and
        // "a." would alias "a".
        if (part.back() == '.' || part.back() == ' ') return TPathVerdict::BadName;
        for (char c : part)
            if (static_cast<unsigned char>(c) < 32 || std::strchr("<>\"|?*", c))
                return TPathVerdict::BadName;
        if (IsDeviceName(part)) return TPathVerdict::BadName;
        if (LooksLikeShortName(part)) return TPathVerdict::ShortName;
        parts.push_back(std::move(part));
    }
    return parts.empty() ? TPathVerdict::Empty : TPathVerdict::Ok;
}

const char* VerdictText(TPathVerdict verdict) {
    switch (verdict) {
    case TPathVerdict::Ok:
        return "ok";
    case TPathVerdict::Empty:
        return "empty path";
    case TPathVerdict::Absolute:
        return "absolute path";
    case TPathVerdict::Drive:
        return "drive letter or stream name";
    case TPathVerdict::ParentRef:
        return "path leads out of the destination (..)";
    case TPathVerdict::BadName:
        return "name not allowed on Windows";
    case TPathVerdict::ShortName:
        return "an 8.3 short name, which may stand for another file";
    }
    return "invalid path";
}

bool MatchWildcard(const std::string& mask, const std::string& name) {
    // Iterative matcher with one backtrack point: linear in practice, no
    // recursion blow-up on masks like "*a*a*a*".
    size_t m = 0, n = 0, star = std::string::npos, resume = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || Lower(mask[m]) == Lower(name[n]))) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == '*') {
            star = m++;
            resume = n;
        } else if (star != std::string::npos) {
            m = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

bool MaskSelects(const std::string& mask, const std::vector<std::string>& parts, bool recurse) {
    if (mask == "*" || mask == "*.*") return true;
    if (parts.empty()) return false;
    if (std::any_of(mask.begin(), mask.end(), IsSeparator)) {
        std::string normal = mask, joined;
        std::replace(normal.begin(), normal.end(), '\\', '/');
        while (normal.starts_with("./"))
            normal.erase(0, 2);
        for (const auto& part : parts)
            joined += (joined.empty() ? "" : "/") + part;
        return MatchWildcard(normal, joined);
    }
    if (!recurse && parts.size() > 1) return false;
    return MatchWildcard(mask, parts.back());
}

} // namespace unrar
