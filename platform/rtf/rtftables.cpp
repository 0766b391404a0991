#include "rtftables.h"

#include <QStringView>

namespace rtf::detail {

int codePageForCharset(int charset, int documentCodePage)
{
    switch (charset) {
    // ANSI and "default" mean the document's own ANSI code page, which is what
    // \ansicpg names; Japanese writers tag their Latin fonts so.
    case 0:
    case 1: return documentCodePage;
    case 2: return 1252;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return documentCodePage;
    }
}

void FontTable::startEntry(int id)
{
    commitEntry();
    m_id = id;
    m_entry = FontEntry();
}

void FontTable::commitEntry()
{
    if (m_id >= 0) {
        m_entry.name = m_entry.name.trimmed();
        fonts::Kind kind = m_entry.kind;
        if (m_entry.charset == 128)
            kind = kind == fonts::Kind::Serif ? fonts::Kind::JapaneseMincho : fonts::Kind::JapaneseGothic;
        m_entry.family = fonts::installedFamilyFor(m_entry.name, kind);
        m_fonts.insert(m_id, m_entry);
    }
    m_id = -1;
    m_entry = FontEntry();
}

void FontTable::addText(const QString &text)
{
    qsizetype start = 0;
    for (;;) {
        const qsizetype semicolon = text.indexOf(QLatin1Char(';'), start);
        if (semicolon < 0) {
            if (m_entry.name.size() < 256)
                m_entry.name += QStringView(text).sliced(start).left(256);
            return;
        }
        m_entry.name += QStringView(text).sliced(start, semicolon - start).left(256);
        commitEntry();
        start = semicolon + 1;
    }
}

int FontTable::codePageOf(int font, int documentCodePage) const
{
    const auto entry = m_fonts.constFind(font);
    if (entry == m_fonts.constEnd())
        return documentCodePage;
    if (entry->codePage > 0)
        return entry->codePage;
    return codePageForCharset(entry->charset, documentCodePage);
}

QString FontTable::familyOf(int font, int documentCodePage) const
{
    const auto entry = m_fonts.constFind(font);
    if (entry != m_fonts.constEnd() && !entry->family.isEmpty())
        return entry->family;
    // No font table entry: the faces a word processor falls back on.
    return fonts::familyFor(QString(), documentCodePage == 932 ? fonts::Kind::JapaneseMincho
                                                               : fonts::Kind::Serif);
}

void ColourTable::clear()
{
    m_colours.clear();
    m_hasComponent = false;
}

void ColourTable::setRed(int value)
{
    m_colour.setRed(qBound(0, value, 255));
    m_hasComponent = true;
}

void ColourTable::setGreen(int value)
{
    m_colour.setGreen(qBound(0, value, 255));
    m_hasComponent = true;
}

void ColourTable::setBlue(int value)
{
    m_colour.setBlue(qBound(0, value, 255));
    m_hasComponent = true;
}

void ColourTable::addText(const QString &text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char(';') && m_colours.size() < 4096)
            commit();
    }
}

void ColourTable::finish()
{
    // Some writers leave out the ; after the last colour.
    if (m_hasComponent)
        commit();
}

QColor ColourTable::at(int index) const
{
    if (index >= 0 && size_t(index) < m_colours.size())
        return m_colours[size_t(index)];
    return QColor();
}

void ColourTable::commit()
{
    m_colours.push_back(m_hasComponent ? m_colour : QColor());
    m_colour = QColor(0, 0, 0);
    m_hasComponent = false;
}

} // namespace rtf::detail
