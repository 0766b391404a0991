#pragma once

#include "codepagedecoder.h"
#include "rtfcontrolwords.h"
#include "rtfdestinations.h"
#include "rtfdocumentwriter.h"
#include "rtfstate.h"
#include "rtftokenizer.h"

#include <QList>
#include <QString>

#include <limits>
#include <optional>
#include <vector>

class QTextDocument;

namespace rtf::detail {

// Turns the tokenizer's events into document text and formats. It keeps the
// group-state stack, holds text bytes until the next control word or group
// boundary, and sends the decoded text to the group's destination: the body
// (through the document writer), the font table, the colour table or nowhere.
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
    bool wantsMore() const override { return !m_writer.leftTextOut(); }
    bool wantsPause() const override { return m_pauseAtParagraph >= 0 && m_writer.paragraphs() >= m_pauseAtParagraph; }

    // Has the tokenizer pause once that many more paragraphs are written.
    void pauseAfter(int paragraphs)
    {
        const int written = m_writer.paragraphs();
        m_pauseAtParagraph = paragraphs > std::numeric_limits<int>::max() - written ? -1 : written + paragraphs;
    }

    // After the tokenizer has run: writes what is still held and ends the last paragraph.
    void finish();

    const QList<Fault> &faults() const { return m_faults; }

private:
    GroupState &state() { return m_states.back(); }
    const GroupState &state() const { return m_states.back(); }
    bool skipFallbackToken();

    // What each control word does, in one place.
    void obey(const WordInfo &info, std::optional<int> parameter);
    void setDefaultFont(int font);
    void resetCharacterFormat();
    void addTabStop(int twips);
    void appendUnicodeEscape(int value);
    void breakParagraph();
    void breakText(QChar character);

    // Text on its way to the group's destination.
    void flushBytes();
    void appendUnicode(char16_t character);
    void sendText(QStringView text);

    std::vector<GroupState> m_states;
    int m_overflowDepth = 0;
    QList<Fault> m_faults;
    CodePageDecoder m_decoder;
    Destinations m_destinations;
    DocumentWriter m_writer;

    bool m_starPending = false;
    int m_fallbackToSkip = 0;
    int m_defaultFont = 0;
    int m_defaultTabTwips = defaultTabTwips;
    int m_pauseAtParagraph = -1;
};

} // namespace rtf::detail
