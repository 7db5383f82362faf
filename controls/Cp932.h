#pragma once

#include <QString>

#include <string>

// The one conversion between the program's texts, code page 932 bytes in a
// std::string, and Qt's text. Widgets call it where a text enters or leaves
// them; nothing else converts.
class Cp932 {
public:
    // Bytes that are not code page 932 (a lone lead byte, an unassigned code)
    // come out as U+FFFD each; decoding never fails.
    static QString ToQString(const std::string& bytes);

    // A character that code page 932 cannot represent (an emoji, an unpaired
    // surrogate) comes out as "\n". No answer read from a question-set file can
    // hold a line feed, so such a reply is never judged right, and the text in
    // the widget is left as it was.
    static std::string FromQString(const QString& text);
};
