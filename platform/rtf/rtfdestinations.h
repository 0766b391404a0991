#pragma once

#include "fontmap.h"
#include "rtfstate.h"
#include "rtftables.h"

#include <QColor>
#include <QString>

namespace rtf::detail {

// The groups whose text does not go into the body. The font table and the
// colour table take their control words and text here, and the body later
// asks them for a font's family and code page and for colours; skipped groups
// (\*, \info, the non-Unicode half of \upr ...) take nothing.
class Destinations
{
public:
    static void enterSkipped(GroupState &state) { state.destination = Destination::Skip; }
    // \upr: skipped until its \ud part, which reads on where \upr was.
    static void enterUpr(GroupState &state);
    void enterFontTable(GroupState &state);
    void enterColourTable(GroupState &state);
    // At the } of a group in closing; now is the group that reads on.
    void leave(Destination closing, GroupState &now);
    // Decoded text of a font table or colour table group.
    void addText(Destination destination, const QString &text);

    // The code page of text in fonts that name none; zero or less leaves it.
    void setDocumentCodePage(GroupState &state, int codePage);

    // \f begins an entry in the font table and selects a font in the body;
    // the other words describe the entry, and set the code page its name is in.
    void selectFont(GroupState &state, int id);
    void setCodePage(GroupState &state, int codePage);
    void setFontCharset(GroupState &state, int charset);
    void setFontKind(const GroupState &state, fonts::Kind kind);
    void setColourComponent(const GroupState &state, void (ColourTable::*component)(int), int value);

    int codePageOfFont(int font) const { return m_fonts.codePageOf(font, m_documentCodePage); }
    QString familyOf(int font) const { return m_fonts.familyOf(font, m_documentCodePage); }
    QColor colourAt(int index) const { return m_colours.at(index); }

private:
    void startFont(GroupState &state, int id);

    int m_documentCodePage = 1252;
    FontTable m_fonts;
    ColourTable m_colours;
};

} // namespace rtf::detail
