#include "support/TextScan.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace tonedesk {

namespace {

// strtoul with the range of a 32-bit unsigned long: a magnitude beyond 32 bits gives
// 0xFFFFFFFF, and a minus sign negates in 32 bits.
std::uint32_t ToU32(const char* text, char** stop, int base) {
    errno = 0;
    const unsigned long long v = std::strtoull(text, stop, base);
    if (errno == ERANGE) {
        return 0xFFFFFFFFu;
    }
    const char* q = text;
    while (*q == ' ' || (*q >= '\t' && *q <= '\r')) {
        ++q;
    }
    if (*q == '-') {
        const unsigned long long magnitude = 0ULL - v;
        return magnitude > 0xFFFFFFFFull
                   ? 0xFFFFFFFFu
                   : static_cast<std::uint32_t>(0u - static_cast<std::uint32_t>(magnitude));
    }
    return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v);
}

// strtol with the range of a 32-bit long: out-of-range values clamp.
std::int32_t ToI32(const char* text, char** stop) {
    const long long v = std::strtoll(text, stop, 10);
    if (v > INT32_MAX) {
        return INT32_MAX;
    }
    if (v < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<std::int32_t>(v);
}

} // namespace

const char* NextLine(const char* p, const char** lineEnd) {
    while (*p != '\0' && *p != '\x1a' && *p != '\r' && *p != '\n') {
        ++p;
    }
    if (lineEnd) {
        *lineEnd = p;
    }
    if (*p == '\0' || *p == '\x1a') {
        return p;
    }
    if (p[1] == '\r' || p[1] == '\n') {
        return p + 2;
    }
    return p + 1;
}

const char* SkipBlanks(const char* p) {
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    return p;
}

std::int32_t ParseNumber(const char* p, const char** end) {
    p = SkipBlanks(p);
    char* stop = nullptr;
    std::int32_t result = 0;
    if (*p == '$') {
        result = static_cast<std::int32_t>(ToU32(p + 1, &stop, 16));
    } else if (*p == '%') {
        result = static_cast<std::int32_t>(ToU32(p + 1, &stop, 2));
    } else if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        result = static_cast<std::int32_t>(ToU32(p + 2, &stop, 16));
    } else {
        result = ToI32(p, &stop);
    }
    if (end) {
        *end = stop;
    }
    return result;
}

bool ParsedDigits(const char* start, const char* end) {
    // Every form ends in a digit of its base when it read one; hexadecimal is the widest.
    return end > start && std::isxdigit(static_cast<unsigned char>(end[-1])) != 0;
}

} // namespace tonedesk
