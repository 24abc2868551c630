#pragma once

// Whether a character ends a line: line feed, vertical tab, form feed, carriage return, next
// line, line separator or paragraph separator. The reader splits a deck's lines there, and a
// label breaks them there.
constexpr bool isLineEnd(char16_t c)
{
    switch (c) {
    case 0x000A:
    case 0x000B:
    case 0x000C:
    case 0x000D:
    case 0x0085:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}
