#pragma once

// Stand-in for the splitter's stream until it lands: holds the whole text.

#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>

#include "core/splitter/splitter.h"

namespace brintale {

class StreamSink {
  public:
    virtual ~StreamSink() = default;
    virtual void Sentence(QString&& text, std::int64_t start, std::int64_t end) = 0;
    virtual void SentencePart(QString&&) {}
};

class SentenceStream {
  public:
    struct Options {
        bool countOnly = false;
        bool codePoints = false;
        qsizetype partUnits = 0;
        qsizetype segmentUnits = qsizetype(1) << 20;
    };
    SentenceStream(QStringView separators, const QStringList& abbreviations, Options options)
        : separators_(separators.toString()), abbreviations_(abbreviations), options_(options) {}
    void Feed(QStringView units, StreamSink&) { text_ += units; }
    void Finish(StreamSink& sink) {
        if (options_.countOnly) {
            count_ = std::int64_t(CountSentences(text_, separators_, abbreviations_));
            return;
        }
        SplitSentences(text_, separators_, abbreviations_, [&](QString&& s) {
            ++count_;
            sink.Sentence(std::move(s), -1, -1);
        });
    }
    std::int64_t count() const { return count_; }
    bool endedInsidePart() const { return false; }

  private:
    QString separators_;
    QStringList abbreviations_;
    Options options_;
    QString text_;
    std::int64_t count_ = 0;
};

}  // namespace brintale
