#include "platform/xlsx_cell_text.h"

namespace brintale {

namespace {

bool IsHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// How text[i] goes into the sheet's XML.
enum class Unit {
    Plain,    // as it is
    Pair,     // as it is, with the next unit (a surrogate pair)
    Control,  // a C0 control, which libxlsxwriter writes as "_xHHHH_"
    Escaped,  // as "_xHHHH_", written here
};

// XML 1.0 has no place for most C0 controls, U+FFFE, U+FFFF or half a pair, and reads a
// carriage return as a line feed.
Unit WriteForm(const QString& text, qsizetype i);

// "_x" + four hex digits + "_" in the XML from text[i] on: the form in which a cell carries
// a character. The last underscore may also be the start of the next character's escape.
bool StartsEscapeForm(const QString& text, qsizetype i) {
    if (i + 6 >= text.size() || text[i] != u'_' || text[i + 1] != u'x') return false;
    for (qsizetype k = i + 2; k < i + 6; ++k)
        if (!IsHexDigit(text[k])) return false;
    if (text[i + 6] == u'_') return true;
    const Unit next = WriteForm(text, i + 6);
    return next == Unit::Control || next == Unit::Escaped;
}

Unit WriteForm(const QString& text, qsizetype i) {
    const char16_t c = text[i].unicode();
    // libxlsxwriter escapes the controls after it has measured the text, so that they count
    // as the one character they stand for; U+0000 would end its C string.
    if (c < 0x20)
        return c == u'\t' || c == u'\n' ? Unit::Plain : c == 0 ? Unit::Escaped : Unit::Control;
    if (c == 0xFFFE || c == 0xFFFF) return Unit::Escaped;
    if (QChar::isHighSurrogate(c))
        return i + 1 < text.size() && text[i + 1].isLowSurrogate() ? Unit::Pair : Unit::Escaped;
    if (QChar::isLowSurrogate(c)) return Unit::Escaped;
    // Already in the escape form, it would be read as the character it names: its underscore
    // goes as "_x005F_", so that it reads back as written.
    return c == u'_' && StartsEscapeForm(text, i) ? Unit::Escaped : Unit::Plain;
}

}  // namespace

QString CellText(const QString& text, qsizetype& escaped) {
    QString out;
    escaped = 0;
    qsizetype copied = 0;  // text before this is in out
    for (qsizetype i = 0; i < text.size();) {
        const Unit unit = WriteForm(text, i);
        if (unit == Unit::Escaped) {
            out += QStringView(text).mid(copied, i - copied);
            out += QStringLiteral("_x") +
                   QString::number(text[i].unicode(), 16).rightJustified(4, u'0').toUpper() +
                   QChar(u'_');
            copied = i + 1;
            ++escaped;
        }
        i += unit == Unit::Pair ? 2 : 1;
    }
    if (copied == 0) return text;
    out += QStringView(text).mid(copied);
    return out;
}

}  // namespace brintale
