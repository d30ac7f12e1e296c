#pragma once
// Names written into the exports' text, escaped as each format needs. The
// builtin feature names need none; names restored from a saved graph may
// hold any character but the control characters.

#include <string>
#include <string_view>

namespace kaltrope::io {

// In XML text or a quoted attribute: & < > " ' as entities.
inline void append_xml_escaped(std::string& text, std::string_view name) {
    for (const char c : name) {
        switch (c) {
            case '&': text += "&amp;"; break;
            case '<': text += "&lt;"; break;
            case '>': text += "&gt;"; break;
            case '"': text += "&quot;"; break;
            case '\'': text += "&apos;"; break;
            default: text += c;
        }
    }
}

// Inside a JSON string: " and \ escaped, control characters as \u00XX.
inline void append_json_escaped(std::string& text, std::string_view name) {
    constexpr char kHex[] = "0123456789abcdef";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (byte < 0x20) {
            text += "\\u00";
            text += kHex[byte >> 4];
            text += kHex[byte & 0xf];
        } else {
            text += c;
        }
    }
}

// Inside a quoted DOT string: " and \ escaped with a backslash.
inline void append_dot_escaped(std::string& text, std::string_view name) {
    for (const char c : name) {
        if (c == '"' || c == '\\') text += '\\';
        text += c;
    }
}

// A CSV cell: quoted (a quote doubled) where it holds a comma, a quote or a
// line break, else as it is.
inline void append_csv_cell(std::string& text, std::string_view name) {
    if (name.find_first_of(",\"\r\n") == std::string_view::npos) {
        text += name;
        return;
    }
    text += '"';
    for (const char c : name) {
        if (c == '"') text += '"';
        text += c;
    }
    text += '"';
}

}  // namespace kaltrope::io
