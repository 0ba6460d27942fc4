#pragma once

#include "CodePageConverter.h"
#include "TextRoutines.h"

#include <QByteArray>
#include <QString>

// Code pages of the receipt printer and the text routines that lay out printed lines.
//
// The store holds Unicode text. The printer gets bytes: item names in code page 852 (the printer's
// own character set), the other texts taken from the tables in code page 1250, the fixed texts of the
// layouts are plain ASCII. Every character becomes exactly one byte; one that the target page lacks
// (also one outside the Basic Multilingual Plane) becomes a single "?".

QByteArray EncodeText(const QString& text, TCodePage page);
// Item names: code page 852.
QByteArray AnsiToOemText(const QString& text);
// Other texts from the tables (owner, pass holder): code page 1250.
QByteArray AnsiText(const QString& text);

// The text routines of the printouts (TrimBlanks, PadLeft, PadCenter, ZeroPad, ...) live in the base
// library; this header keeps offering them to the printouts.
