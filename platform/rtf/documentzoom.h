#pragma once

#include <QList>
#include <QSet>
#include <QStringList>
#include <QTextBlockFormat>
#include <QTextCharFormat>

class QTextDocument;

// Scales a document as a reader's zoom does: every character size, paragraph
// margin, indent and tab stop, so the text wraps anew at the viewer's width.
// The documents set explicit point sizes on every run, which a zoom of the
// widget's own font never reaches. The document's own formats are remembered
// the first time it is scaled and put back exactly at a factor of 1, so a
// document that is never zoomed costs nothing.
class DocumentZoom
{
public:
    DocumentZoom() = default;
    Q_DISABLE_COPY(DocumentZoom)

    // Shows document at factor times its own sizes. The text must not change
    // between calls, short of forget(). The document is laid out again lazily,
    // as after loading it: its size settles once the program has been idle.
    void scale(QTextDocument *document, qreal factor);
    // The document was replaced: its remembered formats no longer apply.
    void forget();

    // A zoom step in parts, for a document Qt has laid out to its end: the paragraphs
    // from the one at position from to the one at position to are shown at factor at
    // once, and Qt lays out only them anew (the others are just moved); the others keep
    // their sizes until scaleBelow() and scaleAbove() reach them. Once every paragraph
    // is scaled, the document is as scale() leaves it. scale() and forget() end a step
    // in parts where it stands.
    void beginScale(QTextDocument *document, qreal factor, int from, int to);
    // Scale up to count more paragraphs right after the scaled ones, or right before
    // them, nearest first; false if there are none left on that side.
    bool scaleBelow(QTextDocument *document, int count);
    bool scaleAbove(QTextDocument *document, int count);
    bool isScaling() const { return m_scaling; }
    // Where the paragraphs below the scaled ones begin; -1 if none is left below.
    int unscaledBelow() const;

    // Makes a later scale() to factor cheaper without changing anything shown: each
    // font the document uses at that zoom measures every character it will lay out
    // (loading a glyph's metrics costs more than the rest of its layout), and the
    // font cache keeps what was measured. Does nothing for a factor already prepared.
    void prepare(const QTextDocument &document, qreal factor);
    bool isPrepared(qreal factor) const { return m_prepared.contains(percentOf(factor)); }

private:
    // A document has many runs and paragraphs but few distinct formats: each is
    // scaled once a step, and the runs that share it pass Qt one shared format.
    struct Run
    {
        int position = 0;
        int length = 0;
        qsizetype format = 0;   // in m_charFormats
    };
    struct Paragraph
    {
        int position = 0;
        qsizetype format = 0;            // in m_blockFormats
        qsizetype characterFormat = 0;   // in m_charFormats: what sizes an empty paragraph
    };

    static int percentOf(qreal factor) { return qRound(factor * 100); }
    void remember(const QTextDocument &document);
    void scaleFormats(qreal factor);
    void scaleParagraphs(QTextDocument *document, qsizetype first, qsizetype end);
    void finishScaling(QTextDocument *document);
    void forgetFormats();
    QTextCharFormat scaled(QTextCharFormat format, qreal factor) const;

    bool m_remembered = false;
    QList<Run> m_runs;
    QList<Paragraph> m_paragraphs;
    QList<QTextCharFormat> m_charFormats;
    QList<QTextBlockFormat> m_blockFormats;
    QStringList m_charactersOfFormat;   // each character once, by place in m_charFormats; filled by prepare()
    QSet<int> m_prepared;               // zooms in percent
    qreal m_defaultPointSize = 0;   // of runs that set no size of their own
    qreal m_tabStopDistance = 0;
    bool m_hasTabs = false;          // only a tab character is placed by the default tab stops

    // The formats of the zoom being applied, and the paragraphs, in m_paragraphs,
    // already at it while a step in parts goes on.
    qreal m_factor = 1;
    QList<QTextCharFormat> m_scaledCharFormats;
    QList<QTextBlockFormat> m_scaledBlockFormats;
    QList<bool> m_blockFormatChanges;   // by place in m_blockFormats: whether the zoom changes it
    bool m_scaling = false;
    qsizetype m_scaledFirst = 0;
    qsizetype m_scaledEnd = 0;
};
