#pragma once

// Conversion between 8-bit text in the ANSI code page (CP936, GBK lead/trail pairs) and
// UTF-16. The kernel converts only here, so that the platform layer's code-page calls can
// take over in one place.

// Widens n bytes into at most `capacity` units and returns the number written. A byte
// sequence that is not CP936 becomes U+FFFD and reading goes on after its first byte.
int ansi_to_utf16(const char* src, int n, char16_t* dst, int capacity);

// Narrows n units into at most `capacity` bytes and returns the number written. A unit
// with no CP936 form becomes '?'.
int utf16_to_ansi(const char16_t* src, int n, char* dst, int capacity);
