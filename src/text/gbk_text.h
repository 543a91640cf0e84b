#pragma once
// The text model: every text the tool handles is a GbkText, a byte string in code page 936 (GBK)
// that holds no zero byte. Lengths count bytes, positions are 1-based byte positions, and a byte of
// 0x80 or more starts a two-byte character. Byte buffers (zero bytes allowed) share the
// representation but not the meaning: they come from the segmenter and from the network.
//
// Every function here is pure and safe on any thread. None throws; an argument out of range gives
// the empty text, an empty buffer, -1 (a search) or 0, as documented per function.

#include <string>
#include <vector>

using GbkText = std::string;
using Bytes = std::string;
using TextList = std::vector<GbkText>;
using BytesList = std::vector<Bytes>;

// ---- Texts --------------------------------------------------------------------------------------

int textLength(const GbkText& t);
// The first min(n, length) bytes; empty when n <= 0. May end with half a two-byte character.
GbkText textLeft(const GbkText& t, int n);
// The last min(n, length) bytes; empty when n <= 0.
GbkText textRight(const GbkText& t, int n);
// Bytes from position p on, at most n; empty when p < 1, p is beyond the end, or n <= 0.
GbkText textMid(const GbkText& t, int p, int n);
// The byte at p as a signed 8-bit number (first byte of a two-byte character < 0); 0 when out of range.
int charCode(const GbkText& t, int p = 1);
// Position of the first occurrence of s at or after p, matched only where a character starts
// (walking by the two-byte rule from max(p, 1)); -1 when none. Exact comparison. The empty s gives 1
// when max(p, 1) lies within t (the tool never searches for it).
int findText(const GbkText& t, const GbkText& s, int p = 1);
// Position of the last occurrence of s, found walking from position 1 as findText does; -1 when none.
int findLastText(const GbkText& t, const GbkText& s);
// Every non-overlapping occurrence of oldText (at character starts, left to right) replaced.
// t is returned unchanged when oldText or t is empty.
GbkText replaceAll(const GbkText& t, const GbkText& oldText, const GbkText& newText);
// t without leading and trailing 0x20 and A1 A1; an incomplete final character is dropped instead
// of trailing spaces.
GbkText trimSpaces(const GbkText& t);
// Every 0x20 and A1 A1 removed, wherever they stand.
GbkText removeSpaces(const GbkText& t);
// ASCII A-Z lowered; two-byte characters stepped over unchanged.
GbkText toLowerAscii(const GbkText& t);
// Full-width forms (A1 A1, A1 AB, the stars A1 EE/A1 EF, row A3) to ASCII; incomplete final
// character dropped.
GbkText toHalfWidth(const GbkText& t);
// Printable ASCII to full-width forms; controls and two-byte characters unchanged; incomplete final
// character dropped.
GbkText toFullWidth(const GbkText& t);
// Pieces between occurrences of sep (found walking by characters). An empty piece between two
// occurrences is kept, a trailing empty piece is not; empty t gives [], empty sep gives [t].
TextList splitText(const GbkText& t, const GbkText& sep);
// One-byte text of the low 8 bits of c; empty when that byte is 0.
GbkText charFromCode(int c);
// Upper-case hexadecimal without leading zeros, as "%X" (n taken as unsigned 32-bit).
GbkText toHexText(int n);
GbkText spaceText(int n);

// ---- Numbers ------------------------------------------------------------------------------------

GbkText intToText(int n);
// printf "%.13g" as in the "C" locale (a decimal point whatever the process locale).
GbkText realToText(double x);
// toHalfWidth, skip leading white space, longest prefix [sign] digits [. digits] [exponent]; 0 if none.
double textToReal(const GbkText& t);
// toHalfWidth, skip leading white space, [sign] decimal digits; 0 if none. Saturates at the 32-bit range.
int textToInt(const GbkText& t);
// Truncation toward zero (saturating at the 32-bit range).
int realToInt(double x);
// For x >= 0: the integer part, plus one when the fraction exceeds 0.999999999999.
int floorToInt(double x);
// x rounded to n decimal places, halves away from zero, with the 1e-12 nudge before the split.
double roundTo(double x, int n);

// ---- Byte buffers -------------------------------------------------------------------------------

Bytes zeroBytes(int n);
Bytes bytesLeft(const Bytes& b, int n);
Bytes textToBytes(const GbkText& t);
// The bytes before the first zero byte (all of b when it holds none).
GbkText bytesToText(const Bytes& b);
int bytesLength(const Bytes& b);
// Bytes from p on, at most n; p < 1 counts as 1, n < 0 as 0.
Bytes bytesMid(const Bytes& b, int p, int n);
// Pieces between occurrences of sep, scanning byte by byte. Leading or doubled separators give
// empty elements; a trailing separator gives no empty last element. Empty b gives [], empty sep [b].
BytesList splitBytes(const Bytes& b, const Bytes& sep);
