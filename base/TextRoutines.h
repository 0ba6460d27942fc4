#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

// Text routines shared by the printouts, receipt numbering, the entry controls and sign-on. None of
// them shortens a text.
// TrimBlanks drops leading and trailing spaces (code 32 only); Trim drops every leading and trailing
// character with a code of 32 or less.
QString TrimBlanks(const QString& text);
QByteArray TrimBlanks(const QByteArray& text);
QString Trim(const QString& text);
QByteArray Trim(const QByteArray& text);
// Drops trailing characters with a code of 32 or less (search texts keep their leading blanks).
QString TrimRight(const QString& text);
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
