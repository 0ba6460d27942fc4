#pragma once

#include <QByteArray>
#include <QString>

// Code pages of the receipt printer and the text routines that lay out printed lines.
//
// The store holds Unicode text. The printer gets bytes: item names in code page 852 (the printer's
// own character set), the other texts taken from the tables in code page 1250, the fixed texts of the
// layouts are plain ASCII. Every character becomes exactly one byte; one that the target page lacks
// (also one outside the Basic Multilingual Plane) becomes a single "?".

enum class TCodePage { Cp852, Cp1250 };

QByteArray EncodeText(const QString& text, TCodePage page);
// Item names: code page 852.
QByteArray AnsiToOemText(const QString& text);
// Other texts from the tables (owner, pass holder): code page 1250.
QByteArray AnsiText(const QString& text);

// Text routines shared by the printouts and by receipt numbering. None of them shortens a text.
// TrimBlanks drops leading and trailing spaces (code 32 only); Trim drops every leading and trailing
// character with a code of 32 or less.
QString TrimBlanks(const QString& text);
QByteArray TrimBlanks(const QByteArray& text);
QString Trim(const QString& text);
// Drops trailing characters with a code of 32 or less (search texts keep their leading blanks).
QString TrimRight(const QString& text);
QByteArray Trim(const QByteArray& text);
// Fill on the left / right until the text has at least `width` characters.
QString PadLeft(const QString& text, QChar fill, int width);
QByteArray PadLeft(const QByteArray& text, char fill, int width);
QString PadRight(const QString& text, QChar fill, int width);
QByteArray PadRight(const QByteArray& text, char fill, int width);
// One fill character at the end, then one at the front, and so on while the text is short; an odd
// surplus puts the extra character at the end.
QString PadCenter(const QString& text, QChar fill, int width);
QByteArray PadCenter(const QByteArray& text, char fill, int width);
// TrimBlanks, then PadLeft with "0".
QString ZeroPad(const QString& text, int width);
QByteArray ZeroPad(const QByteArray& text, int width);
