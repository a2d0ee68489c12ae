#include "splitter_text.h"

#include <QSet>
#include <random>

namespace brintale::bench {

namespace {

const char* const kWords[] = {
    "the",       "of",        "and",        "to",          "in",         "a",           "is",
    "that",      "for",       "it",         "as",          "was",        "with",        "be",
    "by",        "on",        "not",        "he",          "this",       "are",         "or",
    "his",       "from",      "at",         "which",       "but",        "have",        "an",
    "had",       "they",      "you",        "were",        "their",      "one",         "all",
    "we",        "can",       "her",        "has",         "there",      "been",        "if",
    "more",      "when",      "will",       "would",       "who",        "so",          "no",
    "river",     "market",    "window",     "garden",      "letter",     "morning",     "question",
    "company",   "history",   "number",     "people",      "country",    "measure",     "station",
    "village",   "evening",   "material",   "children",    "council",    "distance",    "important",
    "different", "following", "government", "development", "particular", "information", "statement",
};

const char* const kAbbreviations[] = {"etc.", "ETC.", "Etc.", "e.g.", "E.G.",   "E.g.",   "i.e.",
                                      "I.E.", "vs.",  "VS.",  "Vs.",  "et al.", "Et al.", "ET AL."};

}  // namespace

QString EnglishLikeText(qsizetype units) {
    std::mt19937 random(1234567);
    const auto below = [&](int n) { return int(random() % unsigned(n)); };
    QString text;
    text.reserve(units + 256);
    while (text.size() < units) {
        const int words = 8 + below(24);
        const int abbreviationAt = below(5) == 0 ? below(words) : -1;
        for (int w = 0; w < words; ++w) {
            if (w) text += QLatin1Char(' ');
            if (w == abbreviationAt) {
                text += QLatin1String(kAbbreviations[below(std::size(kAbbreviations))]);
                continue;
            }
            if (below(150) == 0) {
                text +=
                    QString::number(below(100)) + QLatin1Char('.') + QString::number(below(100));
                continue;
            }
            QString word = QLatin1String(kWords[below(std::size(kWords))]);
            if (w == 0) word[0] = word[0].toUpper();
            text += word;
            if (below(12) == 0) text += QLatin1Char(',');
        }
        const int end = below(20);
        text += QLatin1Char(end == 0 ? '!' : end == 1 ? '?' : '.');
        const int gap = below(12);
        if (gap == 0)
            text += QLatin1String("\r\n");
        else if (gap == 1)
            text += QLatin1String("\r\n\t");
        else
            text += QLatin1Char(' ');
    }
    text += QLatin1String("And this last line has no end");
    return text;
}

QStringList FiveAbbreviations() { return {"etc.", "vs.", "i.e.", "et al.", "e.g."}; }

QStringList HundredAbbreviations() {
    QStringList list = FiveAbbreviations();
    const char* const more[] = {
        "Mr.",   "Mrs.",  "Ms.",   "Dr.",     "St.",   "Jr.",    "Sr.",   "Inc.",  "Ltd.",
        "Co.",   "Corp.", "No.",   "approx.", "dept.", "est.",   "fig.",  "vol.",  "pp.",
        "ch.",   "sec.",  "min.",  "max.",    "avg.",  "Jan.",   "Feb.",  "Mar.",  "Apr.",
        "Aug.",  "Sept.", "Oct.",  "Nov.",    "Dec.",  "Mon.",   "Tue.",  "Wed.",  "Thu.",
        "Fri.",  "Sat.",  "Sun.",  "Ave.",    "Blvd.", "Rd.",    "Mt.",   "Ft.",   "cf.",
        "viz.",  "ca.",   "Prof.", "Gen.",    "Col.",  "Lt.",    "Sgt.",  "Capt.", "Rev.",
        "Hon.",  "Rep.",  "Sen.",  "ed.",     "eds.",  "trans.", "misc.", "orig.", "ref.",
        "temp.", "univ.", "assn.", "bros.",   "dist.", "div.",   "govt.", "hr.",   "hrs.",
        "lb.",   "lbs.",  "oz.",   "qt.",     "yd.",   "mi.",    "km.",   "cm.",   "mm.",
        "kg.",   "mg.",   "ml.",   "sq.",     "nos.",  "op.",    "pt.",   "pts.",  "ibid.",
        "Gov.",  "Pres.", "Supt.", "Messrs.", "Esq."};
    for (const char* a : more) list += QLatin1String(a);
    return list;
}

QStringList DistinctAbbreviations(int count) {
    std::mt19937 random(17);
    const auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    QStringList list;
    QSet<QString> seen;
    while (list.size() < count) {
        QString entry;
        for (int k = 2 + below(6); k > 0; --k) entry += QChar(u'a' + below(26));
        if (below(100) < 15) entry.insert(1, u'.');
        if (below(100) < 30) entry[0] = entry[0].toUpper();
        entry += u'.';
        if (!seen.contains(entry.toLower())) seen.insert(entry.toLower()), list += entry;
    }
    return list;
}

}  // namespace brintale::bench
