#pragma once

// Helpers of the RTF reader's tests: a document the way a Japanese word
// processor writes it, the text the reader makes of bytes, and the fixtures.

#include "rtfreader.h"

#include <QFile>
#include <QTextDocument>

// The way a Japanese word processor opens a document: code page 932, a
// mincho and a gothic font with hex-escaped names, red at index 2.
inline const QByteArray japaneseHeader =
    R"({\rtf1\ansi\ansicpg932\deff0\deftab720)"
    R"({\fonttbl{\f0\fnil\fcharset128 \'82\'6c\'82\'72 \'96\'be\'92\'a9;})"
    R"({\f1\froman\fcharset0 Times New Roman;})"
    R"({\f2\fmodern\fcharset128 \'82\'6c\'82\'72 \'83\'53\'83\'56\'83\'62\'83\'4e;}})"
    R"({\colortbl;\red0\green0\blue0;\red255\green0\blue0;\red0\green0\blue255;})"
    "\r\n";

inline QByteArray japaneseDocument(const QByteArray &body)
{
    return japaneseHeader + R"(\pard\plain )" + body + "\r\n}";
}

inline QString textOf(const QByteArray &rtf, rtf::ReadResult *result = nullptr)
{
    QTextDocument document;
    const rtf::ReadResult read = rtf::read(rtf, &document);
    if (result)
        *result = read;
    return rtf::plainText(&document);
}

inline QString fixturePath(const QString &name) { return QStringLiteral(FIXTURES_DIR "/rtf/") + name; }

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// Text files written by other programs: a UTF-8 mark and a final newline
// are theirs, not the document's.
inline QString normalisedText(QString text)
{
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}
