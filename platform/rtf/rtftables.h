#pragma once

#include "fontmap.h"

#include <QColor>
#include <QHash>
#include <QString>

#include <vector>

namespace rtf::detail {

// The code page of text in a font with this \fcharset.
int codePageForCharset(int charset, int documentCodePage);

struct FontEntry {
    QString name;
    int charset = -1;
    int codePage = 0;
    fonts::Kind kind = fonts::Kind::Unknown;
    QString family;
};

// The \fonttbl destination: an entry per \fN, named by the text up to its ;.
class FontTable
{
public:
    // Keeps the entry being read, if any, and begins the one for font id.
    void startEntry(int id);
    void commitEntry();
    void setCharset(int charset) { m_entry.charset = charset; }
    void setCodePage(int codePage) { m_entry.codePage = codePage; }
    void setKind(fonts::Kind kind) { m_entry.kind = kind; }
    void addText(const QString &text);

    int codePageOf(int font, int documentCodePage) const;
    QString familyOf(int font, int documentCodePage) const;

private:
    QHash<int, FontEntry> m_fonts;
    int m_id = -1;
    FontEntry m_entry;
};

// The \colortbl destination: a colour per ;, invalid (automatic) for one
// written without components.
class ColourTable
{
public:
    void clear();
    void setRed(int value);
    void setGreen(int value);
    void setBlue(int value);
    void addText(const QString &text);
    // At the } that closes the table.
    void finish();

    QColor at(int index) const;

private:
    void commit();

    std::vector<QColor> m_colours;
    QColor m_colour = QColor(0, 0, 0);
    bool m_hasComponent = false;
};

} // namespace rtf::detail
