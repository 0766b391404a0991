#pragma once

#include "codepagedecoder.h"
#include "rtfcontrolwords.h"
#include "rtfstate.h"
#include "rtftables.h"
#include "rtftokenizer.h"

#include <QList>
#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>

#include <optional>
#include <vector>

class QTextBlockFormat;
class QTextDocument;

namespace rtf::detail {

// Turns the tokenizer's events into document text and formats. It keeps the
// group-state stack, holds text bytes until the next control word or group
// boundary, and sends the decoded text to the group's destination: the body,
// the font table, the colour table or nowhere.
class DocumentBuilder : public Listener
{
public:
    explicit DocumentBuilder(QTextDocument *document);
    Q_DISABLE_COPY(DocumentBuilder)

    void pushState() override;
    void popState() override;
    void dispatchWord(QByteArrayView name, std::optional<int> parameter) override;
    void dispatchSymbol(char symbol) override;
    void dispatchHex(uchar byte) override;
    void dispatchText(QByteArrayView bytes) override;
    void reportFault(Fault fault) override;
    bool isLeadByte(uchar byte) const override;

    // After the tokenizer has run: writes what is still held and ends the last paragraph.
    void finish();

    const QList<Fault> &faults() const { return m_faults; }

private:
    GroupState &state() { return m_states.back(); }
    const GroupState &state() const { return m_states.back(); }
    qreal pixels(int twips) const { return twips * m_dotsPerInch / 1440.0; }
    bool skipFallbackToken();
    void leaveDestination(Destination closing);

    // Control words, by what they change.
    void obey(const WordInfo &info, std::optional<int> parameter);
    void enterDestination(Word word);
    void setDocumentDefault(const WordInfo &info, int value);
    void obeyFontWord(const WordInfo &info, int value);
    void setColourComponent(Word word, int value);
    void breakText(Word word);
    void setCharacterFormat(const WordInfo &info, std::optional<int> parameter);
    void setParagraphFormat(const WordInfo &info, int value);
    void obeyUnicodeWord(const WordInfo &info, int value);

    void setDocumentCodePage(int codePage);
    int codePageOfFont(int font) const;
    void startFont(int id);

    // Text on its way into the document.
    void flushBytes();
    void appendUnicode(char16_t character);
    void appendText(const QString &text);
    void flushRun();
    void paragraph();
    void endLastParagraph();
    QTextCharFormat charFormatFor(const CharProps &props);
    QTextBlockFormat blockFormatFor(const ParaProps &props) const;

    QTextDocument *m_document = nullptr;
    QTextCursor m_cursor;
    std::vector<GroupState> m_states;
    int m_overflowDepth = 0;
    QList<Fault> m_faults;
    CodePageDecoder m_decoder;
    qreal m_dotsPerInch = 96;

    QString m_run;
    CharProps m_runProps;
    bool m_starPending = false;
    int m_fallbackToSkip = 0;
    bool m_endsWithParagraph = false;

    int m_documentCodePage = 1252;
    int m_defaultFont = 0;
    int m_defaultTabTwips = defaultTabTwips;

    FontTable m_fontTable;
    ColourTable m_colourTable;

    bool m_formatCached = false;
    CharProps m_cachedProps;
    QTextCharFormat m_cachedFormat;
};

} // namespace rtf::detail
