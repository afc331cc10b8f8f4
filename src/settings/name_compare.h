// Letter-case-blind comparison of setting, section, key and value names.
// Only ASCII letters are folded, as in the stores this program writes; other
// characters compare byte for byte.
#pragma once

#include <string_view>

inline char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// True when A and B are equal apart from the case of ASCII letters.
inline bool SameText(std::string_view A, std::string_view B) {
    if (A.size() != B.size()) return false;
    for (std::size_t i = 0; i < A.size(); ++i)
        if (UpperAscii(A[i]) != UpperAscii(B[i])) return false;
    return true;
}

// Three-way comparison of the upper-cased forms, bytes taken as unsigned:
// the order in which the registry lists subkeys.
inline int CompareText(std::string_view A, std::string_view B) {
    const std::size_t n = A.size() < B.size() ? A.size() : B.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto a = static_cast<unsigned char>(UpperAscii(A[i]));
        const auto b = static_cast<unsigned char>(UpperAscii(B[i]));
        if (a != b) return a < b ? -1 : 1;
    }
    if (A.size() == B.size()) return 0;
    return A.size() < B.size() ? -1 : 1;
}
