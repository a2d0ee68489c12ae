#pragma once

// The code units the rules name, case folding, and the spelling of markers, shared by the
// masking and the scan.

#include <QChar>
#include <QString>
#include <cstring>

namespace brintale::detail {

inline constexpr char16_t kCarriageReturn = u'\r';
inline constexpr char16_t kLineFeed = u'\n';
inline constexpr char16_t kTab = u'\t';
inline constexpr char16_t kSpace = u' ';

inline constexpr char16_t kMarkerPrefix[] = u"Abbreviation_";
inline constexpr char16_t kFoldedMarkerPrefix[] = u"abbreviation_";
inline constexpr int kMarkerPrefixLength = 13;
// Room for the prefix and any index a qsizetype can hold.
inline constexpr int kMarkerCapacity = kMarkerPrefixLength + 24;

// Simple case folding of one UTF-16 code unit.
inline char16_t Fold(char16_t u) {
    if (u < 0x80) return (u >= u'A' && u <= u'Z') ? char16_t(u + 0x20) : u;
    const char32_t folded = QChar::toCaseFolded(char32_t(u));
    return folded <= 0xFFFF ? char16_t(folded) : u;
}

inline const char16_t* Units(const QString& s) {
    return reinterpret_cast<const char16_t*>(s.constData());
}

inline int MarkerLength(qsizetype entry) {
    int digits = 1;
    for (qsizetype v = entry; v >= 10; v /= 10) ++digits;
    return kMarkerPrefixLength + digits;
}

// Writes the marker of an entry and returns its length.
inline int WriteMarker(qsizetype entry, char16_t* out, const char16_t* prefix = kMarkerPrefix) {
    std::memcpy(out, prefix, kMarkerPrefixLength * sizeof(char16_t));
    const int length = MarkerLength(entry);
    qsizetype v = entry;
    for (int k = length - 1; k >= kMarkerPrefixLength; --k, v /= 10)
        out[k] = char16_t(u'0' + v % 10);
    return length;
}

}  // namespace brintale::detail
