#pragma once

// The shipped documents as the program's own RTF reader builds them, cut into the
// paragraphs and formatted runs the tests hold against the documents' own tables.

#include "rtfreader.h"

#include <QFile>
#include <QTextBlock>
#include <QTextDocument>

// Empty when the resource read cleanly; otherwise why it did not.
inline QString readShippedDocument(const QString &resource, QTextDocument *document, QByteArray *bytes = nullptr)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return resource + QStringLiteral(" is not among the program's resources");
    const QByteArray read = file.readAll();
    if (bytes)
        *bytes = read;
    const rtf::ReadResult result = rtf::read(read, document);
    return result.ok() ? QString() : resource + QStringLiteral(": ") + result.message;
}

inline QStringList paragraphsOf(const QTextDocument &document)
{
    QStringList out;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        out << block.text();
    return out;
}

inline QList<QTextFragment> fragmentsOf(const QTextDocument &document)
{
    QList<QTextFragment> out;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it)
            out << it.fragment();
    }
    return out;
}
