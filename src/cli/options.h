#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace brintale::cli {

enum class Format { Lines, Tsv, Jsonl };
enum class Rules { Separators, Unicode };

// A file to count, named by the bytes the shell passed, or standard input ("-").
struct InputName {
    QByteArray bytes;
    bool standardInput() const { return bytes == "-"; }
};

struct Options {
    std::optional<QString> separators;
    std::optional<bool> enter;
    std::optional<bool> tab;
    std::optional<QStringList> abbreviations;  // set: replaces the stored list
    bool example = false;
    bool countOnly = false;
    bool stats = false;
    int longWords = 25;
    Format format = Format::Lines;
    bool longGiven = false;
    Rules rules = Rules::Separators;
    QString from;  // a document format by name; "": told by the content
    int jobs = 0;  // 0: one per core
    bool help = false;
    bool version = false;
    std::vector<InputName> inputs;  // none: standard input
};

struct UsageError {
    QString message;
};

// Throws UsageError. File names keep the bytes of argv, whatever their encoding.
Options ParseArguments(int argc, const char* const* argv);

extern const char kUsage[];

}  // namespace brintale::cli
