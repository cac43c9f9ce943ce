// Multibyte-aware helpers for 8-bit text in the process's active code page.
// A double-byte character is never split: bounded copies stop before a lead
// byte whose trail byte would not fit, and scans step over whole characters,
// so a trail byte that happens to equal '\\' or a delimiter is never taken
// for one. On the host, text is treated as single-byte.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>

namespace kg {

// True when `c` is the first byte of a double-byte character.
bool IsLeadByte(char c);

// The character after the one at `p`; `p` itself at the terminator.
const char* NextChar(const char* p);

// The number of bytes of `text` (up to its terminator) that fit into
// `maxBytes` without splitting a double-byte character.
std::size_t FitLength(const char* text, std::size_t maxBytes);

// Copies `src` into `dest` of `destSize` bytes (at least 1), cut so that it
// fits with its terminator and no double-byte character is split. Returns
// the number of bytes copied, terminator not counted.
std::size_t CopyBounded(char* dest, std::size_t destSize, const char* src);

// Appends `src` behind the text already in `dest`, within `destSize` bytes,
// as CopyBounded does. Returns the new length of `dest`.
std::size_t AppendBounded(char* dest, std::size_t destSize, const char* src);

// An upper-cased copy (in place through the system on Windows).
std::string UpperCase(std::string text);

// The position of the last character `c` (single-byte) in `text`, or npos.
std::size_t FindLastChar(const std::string& text, char c);

// Whether `a` and `b` are equal when both are upper-cased.
bool EqualsNoCase(const std::string& a, const std::string& b);

// Whether the last character of `text` is the single-byte character `c`.
bool EndsWithChar(const std::string& text, char c);

// `format` with each "%s" or "%d" replaced in turn by the next of `args` (a
// number is passed written out), cut to fit a buffer of `bufferSize` bytes
// with its terminator, never splitting a double-byte character. The
// arguments are not formats: a "%" in them stays as it is.
std::string FormatBounded(const char* format, std::initializer_list<std::string> args, std::size_t bufferSize);

}  // namespace kg
