#pragma once
// Options named by text (engines, modes, weights, kinds) are read through one
// parser: a table lists each option's spellings, and says once whether letter
// case counts. An unknown name gives the table's message around the name as
// given, or lower-cased where case is ignored.

#include <algorithm>
#include <cstddef>
#include <expected>
#include <span>
#include <string>
#include <string_view>

namespace kaltrope {

template <class Option>
struct Spelling {
    std::string_view text;
    Option option;
};

enum class LetterCase { Exact, Ignored };

template <class Option>
struct NameTable {
    std::span<const Spelling<Option>> spellings;
    LetterCase letter_case;
    std::string_view unknown_prefix;  // the message of an unknown name: prefix + name + suffix
    std::string_view unknown_suffix;
};

template <class Option>
std::expected<Option, std::string> parse_name(const NameTable<Option>& table, std::string_view text) {
    std::string shown(text);
    if (table.letter_case == LetterCase::Ignored) {
        std::ranges::transform(shown, shown.begin(),
                               [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    }
    for (const Spelling<Option>& spelling : table.spellings) {
        if (spelling.text == shown) return spelling.option;
    }
    return std::unexpected(std::string(table.unknown_prefix) + shown + std::string(table.unknown_suffix));
}

// The first spelling of option: its canonical name.
template <class Option>
std::string_view name_of(const NameTable<Option>& table, Option option) {
    for (const Spelling<Option>& spelling : table.spellings) {
        if (spelling.option == option) return spelling.text;
    }
    return {};
}

}  // namespace kaltrope
