// Rewriting JSON as Qt's reader takes it into strict JSON.
#include "securitydata/LenientJson.h"

#include <QByteArray>

#include <charconv>

namespace lq::json {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The four hex digits at `at`, when there are four.
bool readHex4(const char* at, const char* end, unsigned& value) {
    if (end - at < 4)
        return false;
    value = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = hexValue(at[i]);
        if (digit < 0)
            return false;
        value = (value << 4) | static_cast<unsigned>(digit);
    }
    return true;
}

// The character U+00XX as an escape sequence.
void appendLatin1Escape(std::string& out, unsigned char c) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\u00";
    out += kDigits[c >> 4];
    out += kDigits[c & 0xf];
}

bool isSurrogate(unsigned unit) {
    return unit >= 0xd800 && unit < 0xe000;
}
bool isHighSurrogate(unsigned unit) {
    return unit >= 0xd800 && unit < 0xdc00;
}
bool isLowSurrogate(unsigned unit) {
    return unit >= 0xdc00 && unit < 0xe000;
}

// One string, from just after its opening quote to just after its closing quote, which it appends.
bool rewriteString(const char*& at, const char* end, std::string& out) {
    while (at < end) {
        const auto c = static_cast<unsigned char>(*at);
        if (c == '"') {
            out += '"';
            ++at;
            return true;
        }
        if (c < 0x20) {
            appendLatin1Escape(out, c);
            ++at;
            continue;
        }
        if (c != '\\') {
            // UTF-8 is left to simdjson, which checks it as Qt's reader did.
            out += static_cast<char>(c);
            ++at;
            continue;
        }
        if (end - at < 2)
            return false;
        const auto escaped = static_cast<unsigned char>(at[1]);
        switch (escaped) {
        case '"':
        case '\\':
        case '/':
        case 'b':
        case 'f':
        case 'n':
        case 'r':
        case 't':
            out.append(at, 2);
            at += 2;
            break;
        case 'u': {
            unsigned unit = 0;
            if (!readHex4(at + 2, end, unit))
                return false;
            unsigned low = 0;
            if (isHighSurrogate(unit) && end - at >= 12 && at[6] == '\\' && at[7] == 'u' &&
                readHex4(at + 8, end, low) && isLowSurrogate(low)) {
                out.append(at, 12);
                at += 12;
            } else if (isSurrogate(unit)) {
                out += '?';
                at += 6;
            } else {
                out.append(at, 6);
                at += 6;
            }
            break;
        }
        default:
            // Any other byte after a backslash is the character of that number.
            if (escaped < 0x20 || escaped >= 0x80)
                appendLatin1Escape(out, escaped);
            else
                out += static_cast<char>(escaped);
            at += 2;
            break;
        }
    }
    return false;
}

// One number as Qt's reader scans it (a minus, digits, a fraction and an exponent, each part maybe
// empty) and reads it: a whole 64-bit number, or else what QByteArray::toDouble reads, which refuses
// values too large and values too small to be told from zero.
bool rewriteNumber(const char*& at, const char* end, std::string& out) {
    const char* const start = at;
    bool isInt = true;
    if (at < end && *at == '-')
        ++at;
    if (at < end && *at == '0') {
        ++at;
    } else {
        while (at < end && isDigit(*at))
            ++at;
    }
    if (at < end && *at == '.') {
        ++at;
        while (at < end && isDigit(*at)) {
            isInt = isInt && *at == '0';
            ++at;
        }
    }
    if (at < end && (*at == 'e' || *at == 'E')) {
        isInt = false;
        ++at;
        if (at < end && (*at == '-' || *at == '+'))
            ++at;
        while (at < end && isDigit(*at))
            ++at;
    }
    if (at >= end)
        return false;
    const QByteArray number = QByteArray::fromRawData(start, at - start);
    char written[40];
    if (isInt) {
        bool ok = false;
        const qlonglong whole = number.toLongLong(&ok);
        if (ok) {
            out.append(written, std::to_chars(written, written + sizeof written, whole).ptr);
            return true;
        }
    }
    bool ok = false;
    const double value = number.toDouble(&ok);
    if (!ok)
        return false;
    // The shortest text that reads back as the same double, with an exponent: written out in full, a
    // double beyond 64 bits would be an integer that simdjson does not read.
    out.append(written,
               std::to_chars(written, written + sizeof written, value, std::chars_format::scientific).ptr);
    return true;
}

bool startsNumber(char c) {
    return c == '-' || c == '.' || isDigit(c);
}

} // namespace

bool rewriteAsStrictJson(const char* text, std::size_t size, std::string& out) {
    out.clear();
    out.reserve(size + size / 8 + 16);
    const char* at = text;
    const char* const end = text + size;
    bool afterNumber = false;
    while (at < end) {
        const char c = *at;
        if (c == '"') {
            out += '"';
            ++at;
            if (!rewriteString(at, end, out))
                return false;
            afterNumber = false;
        } else if (startsNumber(c)) {
            // Outside strings these begin a number, or the text is no JSON whatever follows. Right
            // after a number they are no JSON either, and rewritten they could join it into one that
            // reads ("1e-40" then "-0" would give "1e-400").
            if (afterNumber || !rewriteNumber(at, end, out))
                return false;
            afterNumber = true;
        } else {
            out += c;
            ++at;
            afterNumber = false;
        }
    }
    return true;
}

} // namespace lq::json
