#pragma once

namespace rtf {

// What was wrong with a document. The reader keeps going past every fault
// but NotRtf and returns what it could read.
enum class Fault {
    NotRtf,             // the input does not start with {\rtf: nothing was read
    MissingCloseBrace,  // the input ended inside an open group
    ExtraCloseBrace,    // a } with no group open
    Truncated,          // the input ended inside an escape, a control word or a double-byte pair
    TooDeep,            // groups nested deeper than the reader follows
    BadParameter,       // a numeric parameter out of range
    BadHexEscape,       // \' not followed by two hex digits
    Unreadable,         // the file could not be opened or read: nothing was read
    TooLong,            // more paragraphs and runs than the reader writes: the rest was not read
};

} // namespace rtf
