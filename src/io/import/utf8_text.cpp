#include "io/import/utf8_text.hpp"

#include <cstdint>
#include <cstring>

namespace kaltrope::io {
namespace {

struct Decoded {
    char32_t code_point;
    std::size_t length;
};

// The code point starting at text[at], or nothing where the bytes there are
// not well-formed UTF-8.
std::optional<Decoded> decode_at(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[at + k]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return Decoded{lead, 1};
    std::size_t length;
    char32_t code_point;
    char32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code_point = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code_point = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code_point = lead & 0x07, minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (at + length > text.size()) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80) return std::nullopt;
        code_point = (code_point << 6) | (byte(k) & 0x3F);
    }
    const bool surrogate = code_point >= 0xD800 && code_point <= 0xDFFF;
    if (code_point < minimum || surrogate || code_point > 0x10FFFF) return std::nullopt;
    return Decoded{code_point, length};
}

bool is_ascii_block(const char* bytes) {
    std::uint64_t block;
    std::memcpy(&block, bytes, sizeof block);
    return (block & 0x8080808080808080ull) == 0;
}

bool is_white_space(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// The start of the code point that ends just before text[end].
std::size_t start_of_last(std::string_view text, std::size_t end) {
    std::size_t start = end - 1;
    while (start > 0 && end - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    return start;
}

}  // namespace

std::optional<std::size_t> first_invalid_utf8(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size()) {
        // Runs of ASCII are skipped eight bytes at a time.
        if (at + 8 <= text.size() && is_ascii_block(text.data() + at)) {
            at += 8;
            continue;
        }
        const auto decoded = decode_at(text, at);
        if (!decoded) return at;
        at += decoded->length;
    }
    return std::nullopt;
}

std::string_view trim_white_space(std::string_view text) {
    // Most cells start and end with a visible ASCII character.
    const auto visible = [](char c) { return c > ' ' && c < 0x7F; };
    if (!text.empty() && visible(text.front()) && visible(text.back())) return text;
    std::size_t begin = 0;
    while (begin < text.size()) {
        const auto decoded = decode_at(text, begin);
        if (!decoded || !is_white_space(decoded->code_point)) break;
        begin += decoded->length;
    }
    std::size_t end = text.size();
    while (end > begin) {
        const std::size_t start = start_of_last(text, end);
        const auto decoded = decode_at(text, start);
        if (!decoded || start + decoded->length != end || !is_white_space(decoded->code_point)) break;
        end = start;
    }
    return text.substr(begin, end - begin);
}

std::string encode_utf8(char32_t c) {
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
    std::string bytes;
    if (c < 0x80) {
        bytes += static_cast<char>(c);
    } else if (c < 0x800) {
        bytes += static_cast<char>(0xC0 | (c >> 6));
        bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        bytes += static_cast<char>(0xE0 | (c >> 12));
        bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        bytes += static_cast<char>(0xF0 | (c >> 18));
        bytes += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (c & 0x3F));
    }
    return bytes;
}

std::string quoted(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string result = "\"";
    for (char c : text) {
        switch (c) {
            case '"': result += "\\\""; break;
            case '\\': result += "\\\\"; break;
            case '\t': result += "\\t"; break;
            case '\r': result += "\\r"; break;
            case '\n': result += "\\n"; break;
            case '\0': result += "\\0"; break;
            default: {
                const auto byte = static_cast<unsigned char>(c);
                if (byte < 0x20 || byte == 0x7F) {
                    result += "\\u{";
                    if (byte >= 0x10) result += kHex[byte >> 4];
                    result += kHex[byte & 0xF];
                    result += '}';
                } else {
                    result += c;
                }
            }
        }
    }
    return result + '"';
}

}  // namespace kaltrope::io
