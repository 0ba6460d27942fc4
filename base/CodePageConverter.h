#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// The one converter between the store's Unicode text and the single-byte code pages of the station:
// 852 (the receipt printer's own character set) and 1250 (settings files, other printed texts). It
// uses glibc's iconv, whose tables are Microsoft's: identity for 0x00-0x7F. (ICU's "IBM852", which
// Qt's QStringEncoder would use, is IBM's variant that swaps the control codes 0x1A/0x1C/0x7F and
// substitutes 0x7F or 0x1A for a missing character.)
enum class TCodePage { Cp852, Cp1250 };

// Every character becomes exactly one byte; one that the page lacks (also one outside the Basic
// Multilingual Plane, or a lone surrogate) becomes a single "?". Without a converter on the system
// only ASCII survives, the rest is "?".
QByteArray EncodeCodePage(QStringView text, TCodePage page);
// The exact bytes, or nothing when a character has no byte in the page (or there is no converter).
std::optional<QByteArray> EncodeCodePageExact(QStringView text, TCodePage page);
// Bytes to text. Bytes that the page leaves undefined become the C1 controls of the same value, as
// Windows and ICU decode them. Without a converter the bytes are read as Latin-1.
QString DecodeCodePage(QByteArrayView bytes, TCodePage page);
