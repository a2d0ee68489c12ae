// From choosing a text file to the text shown, on files of 10 and 100 MB; then whether the
// text box stays usable (a key typed, a jump of the scroll bar, each painted).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <map>
#include <memory>

#include "commands/text_loading.h"
#include "core/failure.h"
#include "core/settings_store.h"
#include "core/text_file.h"
#include "platform/qt_services.h"
#include "platform/services.h"
#include "platform/spreadsheet_application.h"
#include "testing/fakes.h"
#include "widgets/text_box.h"
#include "window_bench_main.h"
#include "windows/main_window.h"

namespace {

using namespace brintale;

// Prose in lines of about 70 characters, paragraphs between, as text files usually come;
// or the same words without a single line break.
QByteArray Prose(qsizetype bytes, bool oneLine = false) {
    static const char* const kLines[] = {
        "The committee met on Tuesday, and after a long debate it agreed on the\n",
        "budget for the coming year. Nobody expected that, least of all Dr. Hale!\n",
        "Was it the weather, or the coffee? Either way, the minutes were short:\n",
        "three decisions, two postponements and one caf\xC3\xA9 order for everyone.\n\n",
    };
    QByteArray out;
    out.reserve(bytes + 128);
    for (int i = 0; out.size() < bytes; i = (i + 1) % 4) out += kLines[i];
    out.truncate(bytes);
    if (oneLine) out.replace('\n', ' ');
    return out;
}

struct Fixture {
    Fixture() {
        fakes.prompts.keepLastAnswer = true;
        // The file dialog answers from the script; any other box would be a failure here.
        fakes.prompts.onCall = [](const testing::FakePrompts::Call& call) {
            if (call.kind != testing::FakePrompts::Kind::Open)
                qFatal("unexpected box: %s", qPrintable(call.text));
        };
        form.show();
    }
    QString File(int megabytes, bool oneLine = false) {
        const int key = oneLine ? -megabytes : megabytes;
        auto it = files.find(key);
        if (it != files.end()) return it->second;
        const QString path = dir.filePath(QStringLiteral("%1mb.txt").arg(key));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
        file.write(Prose(qsizetype(megabytes) << 20, oneLine));
        return files[key] = path;
    }

    QTemporaryDir dir;
    std::map<int, QString> files;
    testing::FakeServices fakes;
    SettingsStore settings;
    MainWindow form{fakes.services, settings};
};

// Lives until the application is gone; a widget must not outlive it, so it is never freed.
Fixture& Shared() {
    static Fixture* fixture = new Fixture;
    return *fixture;
}

void Paint(QPlainTextEdit* box) { box->viewport()->repaint(); }

// A large text goes in a slice at a time: until the last is in, the load is not over.
void LoadWhole(MainForm& form) {
    brintale::LoadTextFromFile(form);
    while (form.textBox()->Loading()) QApplication::processEvents();
}

// The command as the user runs it: the dialog answers, the text is read, put in and painted.
void BM_LoadTextFile(benchmark::State& state) {
    Fixture& f = Shared();
    f.fakes.prompts.fileNames = {f.File(int(state.range(0)))};
    for (auto _ : state) {
        LoadWhole(f.form);
        Paint(f.form.textBox());
    }
    state.SetBytesProcessed(state.iterations() * (state.range(0) << 20));
    f.form.textBox()->clear();
}

// The worst case of the text box: a file without line breaks is one block that is laid out
// whole, at the load and at every key typed in it.
void BM_LoadOneLongLine(benchmark::State& state) {
    Fixture& f = Shared();
    f.fakes.prompts.fileNames = {f.File(int(state.range(0)), true)};
    for (auto _ : state) {
        LoadWhole(f.form);
        Paint(f.form.textBox());
    }
    state.SetBytesProcessed(state.iterations() * (state.range(0) << 20));
    f.form.textBox()->clear();
}

// Peer: the same line put into the box whole, as it was before lines were cut into pieces.
void BM_LoadOneLongLineWhole(benchmark::State& state) {
    Fixture& f = Shared();
    const QString path = f.File(int(state.range(0)), true);
    for (auto _ : state) {
        f.form.textBox()->setPlainText(ReadTextFile(path));
        Paint(f.form.textBox());
    }
    state.SetBytesProcessed(state.iterations() * (state.range(0) << 20));
    f.form.textBox()->clear();
}

// One key typed in the middle of a line of the given size, painted; the peer has the line
// whole in one block.
void TypeInOneLongLine(benchmark::State& state, bool whole) {
    Fixture& f = Shared();
    TextBox* box = f.form.textBox();
    const QString path = f.File(int(state.range(0)), true);
    if (whole) {
        box->setPlainText(ReadTextFile(path));
    } else {
        f.fakes.prompts.fileNames = {path};
        LoadWhole(f.form);
    }
    QTextCursor cursor = box->textCursor();
    cursor.setPosition(box->document()->characterCount() / 2);
    box->setTextCursor(cursor);
    box->ensureCursorVisible();
    Paint(box);
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(box, &press);
        Paint(box);
    }
    box->clear();
}
void BM_TypeInOneLongLine(benchmark::State& state) { TypeInOneLongLine(state, false); }
void BM_TypeInOneLongLineWhole(benchmark::State& state) { TypeInOneLongLine(state, true); }

// The peer: the same bytes read and decoded by plain Qt into a plain text editor.
void BM_PlainQtPeer(benchmark::State& state) {
    Fixture& f = Shared();
    const QString path = f.File(int(state.range(0)));
    QPlainTextEdit box;
    box.resize(f.form.textBox()->size());
    box.show();
    for (auto _ : state) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) qFatal("cannot read");
        box.setPlainText(QString::fromUtf8(file.readAll()));
        Paint(&box);
    }
    state.SetBytesProcessed(state.iterations() * (state.range(0) << 20));
}

// The box after a load of the given size, its cursor in the middle of the text.
TextBox* LoadedForTyping(Fixture& f, int megabytes) {
    f.fakes.prompts.fileNames = {f.File(megabytes)};
    LoadWhole(f.form);
    TextBox* box = f.form.textBox();
    QTextCursor cursor = box->textCursor();
    cursor.setPosition(box->document()->characterCount() / 2);
    box->setTextCursor(cursor);
    return box;
}

void TypeX(TextBox* box) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QApplication::sendEvent(box, &press);
}

// After a load of the given size: one key typed in the middle of the text, painted.
void BM_TypeAfterLoad(benchmark::State& state) {
    TextBox* box = LoadedForTyping(Shared(), int(state.range(0)));
    for (auto _ : state) {
        TypeX(box);
        Paint(box);
    }
    box->clear();
}

// The same key with a screen reader on: after each, the text is read through the box's
// accessible reading, as a reader does at every change.
void BM_TypeAfterLoadRead(benchmark::State& state) {
    TextBox* box = LoadedForTyping(Shared(), int(state.range(0)));
    benchmark::DoNotOptimize(box->Reading().text().size());
    for (auto _ : state) {
        TypeX(box);
        benchmark::DoNotOptimize(box->Reading().text().size());
    }
    box->clear();
}

// After a load of the given size: the scroll bar dragged to a random place, painted.
void BM_ScrollAfterLoad(benchmark::State& state) {
    Fixture& f = Shared();
    f.fakes.prompts.fileNames = {f.File(int(state.range(0)))};
    LoadWhole(f.form);
    TextBox* box = f.form.textBox();
    QScrollBar* bar = box->verticalScrollBar();
    QRandomGenerator draw(7);
    for (auto _ : state) {
        bar->setValue(draw.bounded(bar->maximum() + 1));
        Paint(box);
    }
    box->clear();
}

// "Clear List" after a load: it keeps the text for undo, so it must stay quick too.
void BM_ClearAfterLoad(benchmark::State& state) {
    Fixture& f = Shared();
    f.fakes.prompts.fileNames = {f.File(int(state.range(0)))};
    for (auto _ : state) {
        state.PauseTiming();
        LoadWhole(f.form);
        state.ResumeTiming();
        ClearText(f.form);
        Paint(f.form.textBox());
    }
    f.form.textBox()->clear();
}

BENCHMARK(BM_LoadTextFile)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadOneLongLine)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadOneLongLineWhole)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TypeInOneLongLine)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_TypeInOneLongLineWhole)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PlainQtPeer)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TypeAfterLoad)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_TypeAfterLoadRead)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_ScrollAfterLoad)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_ClearAfterLoad)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) { return brintale::RunWindowBenchmarks(argc, argv); }
