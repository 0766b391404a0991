#include "rtfdestinations.h"

namespace rtf::detail {

void Destinations::enterUpr(GroupState &state)
{
    state.resumeAt = state.destination;
    state.destination = Destination::Skip;
}

void Destinations::enterFontTable(GroupState &state)
{
    state.destination = Destination::FontTable;
    startFont(state, -1);
}

void Destinations::enterColourTable(GroupState &state)
{
    state.destination = Destination::ColorTable;
    m_colours.clear();
}

void Destinations::leave(Destination closing, GroupState &now)
{
    if (closing == Destination::FontTable) {
        m_fonts.commitEntry();
        // Back in the body, text reads in the code page of the font in force.
        if (now.destination != Destination::FontTable)
            now.codePage = codePageOfFont(now.chars.font);
    } else if (closing == Destination::ColorTable && now.destination != Destination::ColorTable) {
        m_colours.finish();
    }
}

void Destinations::addText(Destination destination, const QString &text)
{
    if (destination == Destination::FontTable)
        m_fonts.addText(text);
    else if (destination == Destination::ColorTable)
        m_colours.addText(text);
}

void Destinations::setDocumentCodePage(GroupState &state, int codePage)
{
    if (codePage <= 0)
        return;
    m_documentCodePage = codePage;
    state.codePage = codePage;
}

void Destinations::selectFont(GroupState &state, int id)
{
    if (state.destination == Destination::FontTable) {
        startFont(state, id);
    } else if (state.destination == Destination::Body) {
        state.chars.font = id;
        state.codePage = codePageOfFont(id);
    }
}

void Destinations::setCodePage(GroupState &state, int codePage)
{
    if (codePage <= 0)
        return;
    state.codePage = codePage;
    if (state.destination == Destination::FontTable)
        m_fonts.setCodePage(codePage);
}

void Destinations::setFontCharset(GroupState &state, int charset)
{
    if (state.destination != Destination::FontTable)
        return;
    m_fonts.setCharset(charset);
    state.codePage = codePageForCharset(charset, m_documentCodePage);
}

void Destinations::setFontKind(const GroupState &state, fonts::Kind kind)
{
    if (state.destination == Destination::FontTable)
        m_fonts.setKind(kind);
}

void Destinations::setColourComponent(const GroupState &state, void (ColourTable::*component)(int), int value)
{
    if (state.destination == Destination::ColorTable)
        (m_colours.*component)(value);
}

void Destinations::startFont(GroupState &state, int id)
{
    m_fonts.startEntry(id);
    state.codePage = m_documentCodePage;
}

} // namespace rtf::detail
