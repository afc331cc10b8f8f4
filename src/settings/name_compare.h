// Letter-case-blind comparison of setting, section, key and value names.
// Only ASCII letters are folded, as in the stores this program writes; other
// characters compare byte for byte.
#pragma once

#include <string>
#include <string_view>

inline char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The text with its ASCII letters upper-cased: equal for the names SameText
// finds equal. Ordered as std::string compares, these give the order in
// which the registry lists subkeys.
inline std::string UpperText(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = UpperAscii(c);
    return out;
}

// True when A and B are equal apart from the case of ASCII letters.
inline bool SameText(std::string_view A, std::string_view B) {
    if (A.size() != B.size()) return false;
    for (std::size_t i = 0; i < A.size(); ++i)
        if (UpperAscii(A[i]) != UpperAscii(B[i])) return false;
    return true;
}
