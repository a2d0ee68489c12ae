#include "documents/html_reader.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "core/failure.h"

namespace brintale::documents {

namespace {

struct Entity {
    const char* name;
    char16_t value;
};

// The named references that prose uses; the others are rare enough to stay as written.
constexpr std::array kEntities = {
    Entity{"amp", u'&'},      Entity{"lt", u'<'},       Entity{"gt", u'>'},
    Entity{"quot", u'"'},     Entity{"apos", u'\''},    Entity{"nbsp", 0x00A0},
    Entity{"shy", 0x00AD},    Entity{"copy", 0x00A9},   Entity{"reg", 0x00AE},
    Entity{"trade", 0x2122},  Entity{"hellip", 0x2026}, Entity{"mdash", 0x2014},
    Entity{"ndash", 0x2013},  Entity{"lsquo", 0x2018},  Entity{"rsquo", 0x2019},
    Entity{"ldquo", 0x201C},  Entity{"rdquo", 0x201D},  Entity{"sbquo", 0x201A},
    Entity{"bdquo", 0x201E},  Entity{"laquo", 0x00AB},  Entity{"raquo", 0x00BB},
    Entity{"bull", 0x2022},   Entity{"middot", 0x00B7}, Entity{"deg", 0x00B0},
    Entity{"euro", 0x20AC},   Entity{"pound", 0x00A3},  Entity{"sect", 0x00A7},
    Entity{"para", 0x00B6},   Entity{"times", 0x00D7},  Entity{"divide", 0x00F7},
    Entity{"iexcl", 0x00A1},  Entity{"iquest", 0x00BF}, Entity{"szlig", 0x00DF},
    Entity{"aacute", 0x00E1}, Entity{"agrave", 0x00E0}, Entity{"acirc", 0x00E2},
    Entity{"auml", 0x00E4},   Entity{"aring", 0x00E5},  Entity{"ccedil", 0x00E7},
    Entity{"eacute", 0x00E9}, Entity{"egrave", 0x00E8}, Entity{"ecirc", 0x00EA},
    Entity{"euml", 0x00EB},   Entity{"iacute", 0x00ED}, Entity{"iuml", 0x00EF},
    Entity{"ntilde", 0x00F1}, Entity{"oacute", 0x00F3}, Entity{"ocirc", 0x00F4},
    Entity{"ouml", 0x00F6},   Entity{"uacute", 0x00FA}, Entity{"uuml", 0x00FC},
    Entity{"Aacute", 0x00C1}, Entity{"Auml", 0x00C4},   Entity{"Eacute", 0x00C9},
    Entity{"Ouml", 0x00D6},   Entity{"Uuml", 0x00DC},   Entity{"zwj", 0x200D},
    Entity{"zwnj", 0x200C},   Entity{"thinsp", 0x2009}, Entity{"ensp", 0x2002},
    Entity{"emsp", 0x2003},
};

// A reference longer than this is no reference.
constexpr qsizetype kLongestReference = 32;
// Longer tags are taken for text: no tag of a real document comes near.
constexpr qsizetype kLongestTag = 256 * 1024;

bool IsAsciiLetter(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

bool IsBlock(QStringView name) {
    static const std::array<QStringView, 40> blocks = {
        u"p",       u"div",     u"h1",     u"h2",   u"h3",         u"h4",       u"h5",
        u"h6",      u"li",      u"dt",     u"dd",   u"td",         u"th",       u"tr",
        u"table",   u"ul",      u"ol",     u"dl",   u"blockquote", u"pre",      u"section",
        u"article", u"header",  u"footer", u"nav",  u"aside",      u"figure",   u"figcaption",
        u"caption", u"address", u"hr",     u"main", u"form",       u"fieldset", u"legend",
        u"details", u"summary", u"body",   u"html", u"center"};
    return std::find(blocks.begin(), blocks.end(), name) != blocks.end();
}

bool IsVoid(QStringView name) {
    static const std::array<QStringView, 14> voids = {
        u"br",   u"hr",  u"img",   u"meta",  u"link",   u"input", u"area",
        u"base", u"col", u"embed", u"param", u"source", u"track", u"wbr"};
    return std::find(voids.begin(), voids.end(), name) != voids.end();
}

// Elements whose content no reader sees.
bool IsUnseen(QStringView name) {
    return name == u"head" || name == u"script" || name == u"style" || name == u"template" ||
           name == u"title" || name == u"noscript" || name == u"svg" || name == u"math" ||
           name == u"object" || name == u"iframe" || name == u"select" || name == u"button";
}

// Elements whose content is not markup: it ends only at their end tag.
bool IsRawText(QStringView name) {
    return name == u"script" || name == u"style" || name == u"textarea" || name == u"title" ||
           name == u"xmp";
}

struct Tag {
    QString name;  // lower case, without a namespace prefix
    bool end = false;
    bool selfClosing = false;
    bool hidden = false;  // hidden, or a style of display:none
};

Tag ParseTag(QStringView body) {
    // body: what lies between < and >.
    Tag tag;
    qsizetype i = 0;
    if (i < body.size() && body[i] == u'/') {
        tag.end = true;
        ++i;
    }
    const qsizetype start = i;
    while (i < body.size() && !body[i].isSpace() && body[i] != u'/') ++i;
    tag.name = body.sliced(start, i - start).toString().toLower();
    if (const qsizetype colon = tag.name.lastIndexOf(u':'); colon >= 0)
        tag.name = tag.name.mid(colon + 1);
    tag.selfClosing = body.endsWith(u'/');
    if (tag.end || i >= body.size()) return tag;
    const QString attributes = body.sliced(i).toString().toLower();
    static const QRegularExpression hidden(
        QStringLiteral(R"((?:^|\s)hidden(?:\s|=|/|$)|display\s*:\s*none)"));
    tag.hidden = hidden.match(attributes).hasMatch();
    return tag;
}

class HtmlReader {
  public:
    HtmlReader(TextOut& out) : out_(out) {}

    // Takes what can be taken of buffer_, keeping an unfinished construct for more text.
    void Consume(bool atEnd);
    QString buffer_;

  private:
    void EmitText(QStringView text);
    void Handle(const Tag& tag);
    void EnterUnseen(const QString& name);

    TextOut& out_;
    QString rawEnd_;  // "</script" while inside one
    bool inComment_ = false;
    QString unseen_;  // the element whose content is left out
    int unseenDepth_ = 0;
    int preDepth_ = 0;
    bool dropNewline_ = false;  // the first line break in a <pre> is no text
    QString decoded_;
};

void HtmlReader::EmitText(QStringView text) {
    if (text.isEmpty() || !unseen_.isEmpty()) return;
    decoded_.clear();
    AppendDecodedEntities(text, decoded_);
    if (preDepth_ > 0) {
        QStringView shown = decoded_;
        if (dropNewline_ && shown.startsWith(u'\n')) shown = shown.sliced(1);
        dropNewline_ = false;
        QString lines = shown.toString();
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        out_.Text(lines);
    } else {
        out_.FlowingText(decoded_);
    }
}

void HtmlReader::EnterUnseen(const QString& name) {
    unseen_ = name;
    unseenDepth_ = 1;
}

void HtmlReader::Handle(const Tag& tag) {
    if (tag.name.isEmpty()) return;
    const bool opens = !tag.end && !tag.selfClosing && !IsVoid(tag.name);
    if (opens && IsRawText(tag.name)) rawEnd_ = QStringLiteral("</") + tag.name;
    if (!unseen_.isEmpty()) {
        if (tag.name == unseen_) unseenDepth_ += tag.end ? -1 : (opens ? 1 : 0);
        if (unseenDepth_ == 0) unseen_.clear();
        return;
    }
    if (opens && (IsUnseen(tag.name) || tag.hidden)) {
        EnterUnseen(tag.name);
        return;
    }
    if (tag.name == u"br") {
        out_.LineBreak();
        return;
    }
    if (tag.name == u"pre") {
        if (!tag.end) {
            ++preDepth_;
            dropNewline_ = true;
        } else if (preDepth_ > 0) {
            --preDepth_;
        }
    }
    if (IsBlock(tag.name)) out_.EndBlock();
}

void HtmlReader::Consume(bool atEnd) {
    qsizetype i = 0;
    const qsizetype n = buffer_.size();
    const QStringView all(buffer_);
    while (i < n) {
        if (inComment_) {
            const qsizetype close = buffer_.indexOf(QStringLiteral("-->"), i);
            if (close < 0) {
                i = std::max(i, n - 2);
                break;
            }
            inComment_ = false;
            i = close + 3;
            continue;
        }
        if (!rawEnd_.isEmpty()) {
            const qsizetype close = buffer_.indexOf(rawEnd_, i, Qt::CaseInsensitive);
            if (close < 0) {
                i = std::max(i, n - rawEnd_.size());
                break;
            }
            rawEnd_.clear();
            i = close;  // the end tag itself is read as a tag
            continue;
        }
        const qsizetype lt = buffer_.indexOf(u'<', i);
        if (lt < 0) {
            // Keep a reference the block cut in two for the next block.
            qsizetype end = n;
            if (!atEnd) {
                const qsizetype amp = buffer_.lastIndexOf(u'&');
                if (amp >= i && n - amp < kLongestReference && all.sliced(amp).indexOf(u';') < 0)
                    end = amp;
            }
            EmitText(all.sliced(i, end - i));
            i = end;
            break;
        }
        EmitText(all.sliced(i, lt - i));
        i = lt;
        if (n - i < 4 && !atEnd) break;
        const QStringView rest = all.sliced(i);
        if (rest.startsWith(u"<!--")) {
            inComment_ = true;
            i += 4;
            continue;
        }
        if (rest.startsWith(u"<![CDATA[")) {
            const qsizetype close = buffer_.indexOf(QStringLiteral("]]>"), i);
            if (close < 0 && !atEnd) break;
            const qsizetype end = close < 0 ? n : close;
            if (unseen_.isEmpty()) out_.Text(all.sliced(i + 9, end - i - 9));
            i = close < 0 ? n : close + 3;
            continue;
        }
        const bool markup = rest.size() > 1 && (IsAsciiLetter(rest[1]) || rest[1] == u'/' ||
                                                rest[1] == u'!' || rest[1] == u'?');
        if (!markup) {
            if (rest.size() < 2 && !atEnd) break;
            EmitText(u"<");
            ++i;
            continue;
        }
        // The tag's end, past quoted attribute values.
        qsizetype j = i + 1;
        QChar quote;
        for (; j < n; ++j) {
            const QChar c = buffer_[j];
            if (!quote.isNull()) {
                if (c == quote) quote = QChar();
            } else if (c == u'"' || c == u'\'') {
                if (rest[1] != u'!' && rest[1] != u'?') quote = c;
            } else if (c == u'>') {
                break;
            }
        }
        if (j >= n) {
            if (!atEnd && j - i < kLongestTag) break;
            EmitText(u"<");  // never closed: it was text
            ++i;
            continue;
        }
        if (rest[1] != u'!' && rest[1] != u'?') Handle(ParseTag(all.sliced(i + 1, j - i - 1)));
        i = j + 1;
    }
    buffer_.remove(0, i);
}

}  // namespace

void AppendDecodedEntities(QStringView text, QString& out) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype amp = text.indexOf(u'&', i);
        if (amp < 0) {
            out += text.sliced(i);
            return;
        }
        out += text.sliced(i, amp - i);
        i = amp + 1;
        const qsizetype semi = text.indexOf(u';', i);
        if (semi < 0 || semi - i > kLongestReference || semi == i) {
            out += u'&';
            continue;
        }
        const QStringView name = text.sliced(i, semi - i);
        bool known = false;
        if (name.startsWith(u'#')) {
            const bool hex = name.size() > 1 && (name[1] == u'x' || name[1] == u'X');
            bool ok = false;
            const uint code = name.sliced(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
            if (ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
                const char32_t c = code;
                out += QString::fromUcs4(&c, 1);
                known = true;
            }
        } else {
            for (const Entity& e : kEntities) {
                if (name == QLatin1StringView(e.name)) {
                    out += QChar(e.value);
                    known = true;
                    break;
                }
            }
        }
        if (known) {
            i = semi + 1;
        } else {
            out += u'&';
        }
    }
}

QByteArray SniffHtmlEncoding(QByteArrayView head) {
    if (head.startsWith("\xFF\xFE")) return "UTF-16LE";
    if (head.startsWith("\xFE\xFF")) return "UTF-16BE";
    if (head.startsWith("\xEF\xBB\xBF")) return "UTF-8";
    static const QRegularExpression charset(
        QStringLiteral(R"(<meta[^>]*charset\s*=\s*["']?([A-Za-z0-9_.:-]+))"),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = charset.match(QString::fromLatin1(head));
    if (!match.hasMatch()) return "UTF-8";
    const QByteArray name = match.captured(1).toLatin1();
    const QByteArray lower = name.toLower();
    // Browsers read Latin-1 as Windows-1252, which it is a part of.
    if (lower == "iso-8859-1" || lower == "latin1" || lower == "us-ascii") return "windows-1252";
    if (QStringDecoder(name.constData()).isValid()) return name;
    return "UTF-8";
}

void ReadHtml(ByteStream& stream, TextOut& out) {
    HtmlReader reader(out);
    std::vector<char> block(256 * 1024);
    std::optional<QStringDecoder> decoder;
    for (;;) {
        const qsizetype got = stream.Read(block.data(), static_cast<qsizetype>(block.size()));
        if (!decoder) {
            // The default flags drop a byte-order mark, which is no text.
            decoder.emplace(SniffHtmlEncoding(QByteArrayView(block.data(), got)).constData());
            if (!decoder->isValid()) decoder.emplace(QStringConverter::Utf8);
        }
        if (got > 0) reader.buffer_ += decoder->decode(QByteArrayView(block.data(), got));
        reader.Consume(got == 0);
        if (got == 0) break;
    }
    out.EndBlock();
    out.Flush();
}

}  // namespace brintale::documents
