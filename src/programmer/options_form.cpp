#include "programmer/options_form.h"

#include <charconv>

TOptionsField* TOptionsForm::Field(const std::string& Key) {
    for (auto& g : Groups)
        for (auto& f : g.Fields)
            if (f.Key == Key) return &f;
    return nullptr;
}

const TOptionsField* TOptionsForm::Field(const std::string& Key) const {
    return const_cast<TOptionsForm*>(this)->Field(Key);
}

std::string TOptionsForm::Value(const std::string& Key) const {
    const TOptionsField* f = Field(Key);
    return f ? f->Value : std::string();
}

long TOptionsForm::Number(const std::string& Key, long Default) const {
    const TOptionsField* f = Field(Key);
    return f ? f->Number(Default) : Default;
}

long TOptionsField::Number(long Default) const {
    long n = 0;
    const auto [p, ec] = std::from_chars(Value.data(), Value.data() + Value.size(), n);
    return Value.empty() || ec != std::errc() || p != Value.data() + Value.size() ? Default : n;
}
