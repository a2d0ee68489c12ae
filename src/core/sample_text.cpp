#include "core/sample_text.h"

namespace brintale {

namespace {

// Three literals joined directly; both joins fall inside a sentence.
const char* const kPieces[] = {
    "Counting the sentences of a text sounds like a small job, yet anyone who has tried "
    "it by hand knows how quickly the mind drifts from the rhythm of the words to their "
    "meaning. A reader who makes a mark in the margin at every full stop soon sees that "
    "the marks tell a story of their own: short sentences cluster where the action is "
    "quick, and long ones gather where the writer slows down. Teachers have long used "
    "this measure to judge how hard a passage will feel to a young reader. When most "
    "sentences run to thirty words or more, the reader must hold many ideas in mind "
    "before the full stop lets them rest. Editors use the count in another way: they look"
    " for places where a run of similar sentences makes the page feel flat. A program can"
    " take over the dull part of this work, because it never tires and never once",

    " loses its place. It reads text from first letter to last, and each time it meets a "
    "mark that ends a sentence, it closes that sentence and starts a fresh one. The "
    "result is a plain list in which every sentence",

    " stands on its own line, ready to be counted, compared, or copied. With that list in"
    " hand, the writer sees at a glance where the text runs smoothly and where a sentence"
    " has grown far too long.",
};

}  // namespace

QStringList SampleTextPieces() {
    QStringList pieces;
    for (const char* piece : kPieces) pieces.push_back(QString::fromLatin1(piece));
    return pieces;
}

QString SampleText() { return SampleTextPieces().join(QString()); }

}  // namespace brintale
