#pragma once

#include "rtffault.h"

#include <QByteArrayView>

#include <optional>

namespace rtf {

// Receives the tokenizer's events in document order. The document builder
// implements it; tests may implement it to watch the token stream.
class Listener
{
public:
    virtual ~Listener() = default;

    virtual void pushState() = 0;                       // {
    virtual void popState() = 0;                        // }
    virtual void dispatchWord(QByteArrayView name, std::optional<int> parameter) = 0;
    virtual void dispatchSymbol(char symbol) = 0;       // \~, \*, \\ ...
    virtual void dispatchHex(uchar byte) = 0;           // \'hh
    virtual void dispatchText(QByteArrayView bytes) = 0;
    virtual void reportFault(Fault fault) = 0;

    // Whether a raw byte opens a double-byte character in the code page now in
    // force; the tokenizer then takes the byte after it as its trail byte,
    // whatever it is.
    virtual bool isLeadByte(uchar byte) const = 0;

    // False once the listener takes nothing more: the rest of the input is not read.
    virtual bool wantsMore() const { return true; }
    // True when the listener wants the reading to stop here for now (Tokenizer::resume()).
    virtual bool wantsPause() const { return false; }
};

// Splits RTF bytes into groups, control words, control symbols and text.
// It keeps no state of its own beyond the nesting count: \binN data is skipped
// here, and everything else is the listener's business.
class Tokenizer
{
public:
    explicit Tokenizer(Listener &listener) : m_listener(listener) {}

    // Reads from the opening { of the document to the } that closes it.
    void run(QByteArrayView input);

    // The same in parts: start() and then resume() until it returns true. resume()
    // stops early, returning false, where the listener wants a pause; the input must
    // stay valid until the end.
    void start(QByteArrayView input);
    bool resume();

private:
    void readControl();
    void readControlSymbol();
    void readHexEscape();
    std::optional<int> readParameter();
    void skipBinary(qint64 length);
    void readText();
    bool atEnd() const { return m_pos >= m_input.size(); }
    uchar peek() const { return uchar(m_input[m_pos]); }

    Listener &m_listener;
    QByteArrayView m_input;
    qsizetype m_pos = 0;
    qint64 m_depth = 0;
};

} // namespace rtf
