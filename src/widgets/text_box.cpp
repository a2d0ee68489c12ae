#include "widgets/text_box.h"

#include <QAbstractUndoItem>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QThreadPool>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "widgets/long_sentence_highlight.h"

namespace brintale {

namespace {

// The property of a block that continues the line of the block before it: the break between
// them is a cut. A block format, because undo restores those with the blocks.
constexpr int kCutBefore = QTextFormat::UserProperty + 0x2f1c;

bool CutBefore(const QTextBlock& block) { return block.blockFormat().hasProperty(kCutBefore); }

// No block format with the mark: no block to look at.
bool AnyCut(const QTextDocument* doc) {
    const QList<QTextFormat> formats = doc->allFormats();
    return std::any_of(formats.begin(), formats.end(),
                       [](const QTextFormat& f) { return f.hasProperty(kCutBefore); });
}

QStringList LocalFiles(const QMimeData* mime) {
    QStringList paths;
    if (mime == nullptr || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) paths << url.toLocalFile();
    }
    return paths;
}

// UnitStart on the document itself, reading only the markers before the position.
qsizetype UnitStartAt(const QTextDocument* doc, qsizetype position) {
    qsizetype from = position;
    while (from > 0 && IsBoxMarker(doc->characterAt(static_cast<int>(from - 1)))) --from;
    if (from == position) return position;
    QString window;
    for (qsizetype i = from; i <= position; ++i) window += doc->characterAt(static_cast<int>(i));
    return from + UnitStart(window, position - from);
}

// QTextCursor's own comparison leaves out the anchor.
bool Same(const QTextCursor& a, const QTextCursor& b) {
    return a.position() == b.position() && a.anchor() == b.anchor();
}

// The cursor with each end that falls between a marker and what it marks moved before the
// marker: a selection holds a marked character whole or not at all.
QTextCursor WholeUnits(const QTextCursor& cursor) {
    const QTextDocument* doc = cursor.document();
    const int anchor = static_cast<int>(UnitStartAt(doc, cursor.anchor()));
    const int position = static_cast<int>(UnitStartAt(doc, cursor.position()));
    if (anchor == cursor.anchor() && position == cursor.position()) return cursor;
    QTextCursor whole(cursor);
    whole.setPosition(anchor);
    whole.setPosition(position, QTextCursor::KeepAnchor);
    return whole;
}

void ReleaseElsewhere(BoxContent content) {
    constexpr qsizetype kLarge = qsizetype(1) << 20;
    if (content.raw.size() < kLarge) return;
    QThreadPool* pool = QThreadPool::globalInstance();
    if (pool == nullptr) return;  // the application is going: here, then
    try {
        pool->start([held = std::move(content)] {});
    } catch (const std::bad_alloc&) {  // here, then
    }
}

// Where the slice of a load that starts at `from` ends: after a line break in its second half,
// or else never between the halves of a surrogate pair nor a marker and what it marks.
qsizetype SliceEnd(const QString& raw, qsizetype from, qsizetype slice) {
    if (raw.size() - from <= slice) return raw.size();
    const qsizetype end = from + slice;
    const qsizetype lineEnd = QStringView(raw).lastIndexOf(u'\n', end - 1);
    if (lineEnd >= from + slice / 2) return lineEnd + 1;
    return UnitStart(raw, raw[end].isLowSurrogate() ? end - 1 : end);
}

std::vector<qsizetype> CutsBetween(const std::vector<qsizetype>& cuts, qsizetype from,
                                   qsizetype to) {
    return {std::lower_bound(cuts.begin(), cuts.end(), from),
            std::lower_bound(cuts.begin(), cuts.end(), to)};
}

// A key that only moves through the text, which a load need not finish for.
bool Navigates(const QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Meta:
            return true;
        default:
            return false;
    }
}

}  // namespace

struct TextBox::PendingLoad {
    QFutureWatcher<BoxContent> encoding;
    bool encoded = false;
    // The head goes in at once, encoded here, while the rest is encoded off this thread.
    BoxContent head;
    BoxContent content;     // the rest, which goes in after the head
    BoxContent before;      // for undo
    qsizetype done = 0;     // of the rest
    qsizetype slice = 0;    // the next slice's size
    bool readOnly = false;  // as the box was before
};

// Ctrl+Z after a load and back again. It holds one content at a time, the one that is not on
// show: the text before the load until it is undone, then the loaded one.
class LoadStep : public QAbstractUndoItem {
  public:
    LoadStep(TextBox* box, BoxContent before) : box_(box), other_(std::move(before)) {}
    // The next load drops this step: a large text is freed off the interface thread, which
    // has the next one to put in.
    ~LoadStep() override { ReleaseElsewhere(std::move(other_)); }
    void undo() override { Swap(); }
    void redo() override { Swap(); }

  private:
    // The document records nothing while it undoes or redoes.
    void Swap() {
        BoxContent shown = box_->Content();
        QTextCursor cursor(box_->document());
        cursor.select(QTextCursor::Document);
        cursor.insertText(other_.raw);
        box_->MarkCuts(0, other_.raw.size(), other_.cuts);
        other_ = std::move(shown);
    }

    TextBox* box_;
    BoxContent other_;
};

namespace {

// A screen reader reads and edits the text, not the document: its offsets are the text's.
class BoxAccessible : public QAccessibleWidget,
                      public QAccessibleTextInterface,
                      public QAccessibleEditableTextInterface {
  public:
    explicit BoxAccessible(TextBox* box) : QAccessibleWidget(box, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        if (t == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.multiLine = true;
        s.selectableText = true;
        if (Box()->isReadOnly())
            s.readOnly = true;
        else
            s.editable = true;
        return s;
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return Text();
        return QAccessibleWidget::text(t);
    }

    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        const QTextCursor cursor = Box()->textCursor();
        if (index != 0 || !cursor.hasSelection()) return;
        *start = Offset(cursor.selectionStart());
        *end = Offset(cursor.selectionEnd());
    }
    int selectionCount() const override { return Box()->textCursor().hasSelection() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override {
        if (index != 0) return;
        QTextCursor cursor = Box()->textCursor();
        cursor.clearSelection();
        Box()->setTextCursor(cursor);
    }
    void setSelection(int index, int start, int end) override {
        if (index != 0) return;
        Box()->setTextCursor(Span(start, end));
    }

    int cursorPosition() const override { return Offset(Box()->textCursor().position()); }
    void setCursorPosition(int offset) override { Box()->setTextCursor(Span(offset, offset)); }

    QString text(int start, int end) const override {
        const QString& all = Text();
        start = std::clamp<int>(start, 0, static_cast<int>(all.size()));
        end = std::clamp<int>(end, start, static_cast<int>(all.size()));
        return all.mid(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(Text().size()); }

    QRect characterRect(int offset) const override {
        const TextBox* box = Box();
        QRect rect = box->cursorRect(Span(offset, offset));
        const QString& all = Text();
        if (offset >= 0 && offset < all.size())
            rect.setWidth(box->fontMetrics().horizontalAdvance(all.at(offset)));
        return QRect(box->viewport()->mapToGlobal(rect.topLeft()), rect.size());
    }
    int offsetAtPoint(const QPoint& point) const override {
        const TextBox* box = Box();
        const QPoint local = box->viewport()->mapFromGlobal(point);
        if (!box->viewport()->rect().contains(local)) return -1;
        return Offset(box->cursorForPosition(local).position());
    }
    void scrollToSubstring(int start, int end) override { Box()->SelectStretch(start, end); }
    QString attributes(int offset, int* start, int* end) const override {
        // One font for the whole text.
        *start = 0;
        *end = std::max(characterCount(), offset);
        return {};
    }

    void deleteText(int start, int end) override { replaceText(start, end, {}); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString& text) override {
        if (Box()->isReadOnly()) return;
        QTextCursor cursor = Span(start, end);
        Box()->InsertText(cursor, text);
        Box()->setTextCursor(cursor);
    }

  private:
    TextBox* Box() const { return static_cast<TextBox*>(widget()); }
    const QString& Text() const { return Box()->Reading().text(); }
    int Offset(int position) const { return static_cast<int>(Box()->Reading().Offset(position)); }
    QTextCursor Span(int start, int end) const {
        const BoxReading& reading = Box()->Reading();
        QTextCursor cursor(Box()->document());
        cursor.setPosition(static_cast<int>(reading.Position(start)));
        cursor.setPosition(static_cast<int>(reading.Position(end)), QTextCursor::KeepAnchor);
        return cursor;
    }
};

QAccessibleInterface* MakeAccessible(const QString& key, QObject* object) {
    if (key != QLatin1StringView(TextBox::staticMetaObject.className())) return nullptr;
    auto* box = qobject_cast<TextBox*>(object);
    return box ? new BoxAccessible(box) : nullptr;
}

}  // namespace

TextBox::TextBox(QWidget* parent) : QPlainTextEdit(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(&MakeAccessible);
        return true;
    }();
    Q_UNUSED(installed);
    connect(document(), &QTextDocument::contentsChange, this, [this](int at, int gone, int come) {
        if (reading_ && !PatchReading(at, gone, come)) reading_.reset();
        loaded_.reset();
        // The rest of a load never goes in after an edit made without waiting for it.
        if (pending_ && !slicing_) AbandonLoad();
    });
    longSentences_ = new LongSentenceHighlight(*this);
    slicer_.setSingleShot(true);
    slicer_.setInterval(0);
    connect(&slicer_, &QTimer::timeout, this, &TextBox::NextSlices);
}

// The colouring goes before the document, whose end it would otherwise follow.
TextBox::~TextBox() {
    disconnect(document(), nullptr, this, nullptr);
    delete longSentences_;
}

std::vector<qsizetype> TextBox::Cuts(qsizetype from, qsizetype to) const {
    std::vector<qsizetype> cuts;
    const QTextDocument* doc = document();
    if (!AnyCut(doc)) return cuts;
    for (QTextBlock b = doc->findBlock(static_cast<int>(from)).next(); b.isValid(); b = b.next()) {
        const qsizetype at = b.position() - 1;
        if (to >= 0 && at >= to) break;
        if (CutBefore(b)) cuts.push_back(at);
    }
    return cuts;
}

BoxContent TextBox::Content() const {
    Settle();
    if (loaded_) return *loaded_;
    return {document()->toRawText(), Cuts()};
}

void TextBox::MarkCuts(qsizetype from, qsizetype to, const std::vector<qsizetype>& cuts) {
    QTextDocument* doc = document();
    if (cuts.empty() && !AnyCut(doc)) return;
    QTextCursor cursor(doc);
    // In one edit: outside one, each move of the cursor lays out its block.
    cursor.beginEditBlock();
    auto next = cuts.begin();
    for (QTextBlock b = doc->findBlock(static_cast<int>(from)).next();
         b.isValid() && b.position() <= to; b = b.next()) {
        const qsizetype at = b.position() - 1;
        while (next != cuts.end() && *next < at) ++next;
        const bool cut = next != cuts.end() && *next == at;
        if (CutBefore(b) == cut) continue;
        QTextBlockFormat format = b.blockFormat();
        if (cut)
            format.setProperty(kCutBefore, true);
        else
            format.clearProperty(kCutBefore);
        cursor.setPosition(b.position());
        cursor.setBlockFormat(format);
    }
    cursor.endEditBlock();
}

void TextBox::Load(QString text) {
    QTextDocument* doc = document();
    BoxContent before;
    if (pending_) {
        // What it replaces was never there whole.
        before = std::move(pending_->before);
        AbandonLoad();
    } else if (!doc->isEmpty()) {
        before = Content();
    }
    loaded_.reset();
    if (text.size() <= slicedAbove_) {
        BoxContent content = EncodeForBox(std::move(text));
        // Records nothing and drops the steps before: a step per paragraph of a large file
        // would make the load slow and hold memory for nothing.
        setPlainText(content.raw);
        doc->setUndoRedoEnabled(false);
        MarkCuts(0, content.raw.size(), content.cuts);
        doc->setUndoRedoEnabled(true);
        doc->appendUndoItem(new LoadStep(this, std::move(before)));
        loaded_ = std::move(content);
        return;
    }
    pending_ = std::make_unique<PendingLoad>();
    PendingLoad& load = *pending_;
    load.before = std::move(before);
    load.readOnly = isReadOnly();
    setReadOnly(true);
    // The head is encoded and put in while the rest is encoded: the window need not wait
    // for all of it before the first slice.
    const qsizetype headEnd = BlockStartAfter(text, slice_, 2 * slice_);
    QString head;
    if (headEnd > 0) {
        head = text.first(headEnd);
        text.remove(0, headEnd);  // moves the start on, copying nothing
    }
    // Encoded off this thread: it takes longer than the window may wait.
    connect(&load.encoding, &QFutureWatcher<BoxContent>::finished, this, &TextBox::FirstSlice);
    load.encoding.setFuture(QtConcurrent::run(
        [text = std::move(text)]() mutable { return EncodeForBox(std::move(text)); }));
    if (headEnd == 0) return;
    QElapsedTimer clock;
    clock.start();
    load.head = EncodeForBox(std::move(head));
    slicing_ = true;
    setPlainText(load.head.raw);
    document()->setUndoRedoEnabled(false);
    MarkCuts(0, load.head.raw.size(), load.head.cuts);
    slicing_ = false;
    load.slice = NextSliceSize(load.head.raw.size(), clock.nsecsElapsed());
}

qsizetype TextBox::NextSliceSize(qsizetype units, qint64 tookNs) const {
    // As large as goes in within the budget: the view does work of its own for every slice,
    // which in small slices costs more than the text. It grows at most fourfold, in case
    // this one was quicker than the next will be.
    const double fits = double(units) * sliceBudgetMs_ * 1e6 / double(std::max<qint64>(tookNs, 1));
    const qsizetype last = pending_ && pending_->slice > 0 ? pending_->slice : slice_;
    return std::clamp(qsizetype(fits), slice_, 4 * std::max(last, units));
}

void TextBox::FirstSlice() {
    if (!pending_ || pending_->encoded) return;
    PendingLoad& load = *pending_;
    load.content = load.encoding.future().takeResult();
    load.encoded = true;
    if (load.head.raw.isEmpty()) {
        const qsizetype first = SliceEnd(load.content.raw, 0, slice_);
        // As a small load: the cursor, the scrolling and the format as ever.
        slicing_ = true;
        setPlainText(load.content.raw.first(first));
        document()->setUndoRedoEnabled(false);
        MarkCuts(0, first, CutsBetween(load.content.cuts, 0, first));
        slicing_ = false;
        load.done = first;
        load.slice = slice_;
    }
    slicer_.start();
}

void TextBox::PutSlice(qsizetype end) {
    PendingLoad& load = *pending_;
    const QString& raw = load.content.raw;
    const qsizetype base = load.head.raw.size();  // where the rest begins in the document
    std::vector<qsizetype> cuts = CutsBetween(load.content.cuts, load.done, end);
    for (qsizetype& cut : cuts) cut += base;
    QTextCursor cursor(document());
    slicing_ = true;
    // One change for the document's readers and its layout.
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    // A view of the encoded text: the document copies what it is given anyway.
    cursor.insertText(QString::fromRawData(raw.constData() + load.done, end - load.done));
    MarkCuts(base + load.done, base + end, cuts);
    cursor.endEditBlock();
    slicing_ = false;
    load.done = end;
}

void TextBox::NextSlices() {
    if (!pending_ || !pending_->encoded) return;
    QElapsedTimer clock;
    clock.start();
    PendingLoad& load = *pending_;
    const qsizetype from = load.done;
    PutSlice(SliceEnd(load.content.raw, from, load.slice));
    load.slice = NextSliceSize(load.done - from, clock.nsecsElapsed());
    if (load.done < load.content.raw.size())
        slicer_.start();
    else
        CompleteLoad();
}

void TextBox::FinishLoad() {
    if (!pending_ || slicing_) return;
    slicer_.stop();
    if (!pending_->encoded) {
        pending_->encoding.waitForFinished();
        FirstSlice();
    }
    PutSlice(pending_->content.raw.size());
    CompleteLoad();
}

void TextBox::CompleteLoad() {
    std::unique_ptr<PendingLoad> load = std::move(pending_);
    QTextDocument* doc = document();
    doc->setUndoRedoEnabled(true);
    doc->appendUndoItem(new LoadStep(this, std::move(load->before)));
    BoxContent& content = load->content;
    if (!load->head.raw.isEmpty()) {
        // Into the room the head left at the front of the rest's text, where it fits.
        const qsizetype base = load->head.raw.size();
        for (qsizetype& cut : content.cuts) cut += base;
        content.cuts.insert(content.cuts.begin(), load->head.cuts.begin(), load->head.cuts.end());
        content.raw.prepend(load->head.raw);
    }
    loaded_ = std::move(content);
    setReadOnly(load->readOnly);
    emit loadFinished();
}

void TextBox::AbandonLoad() {
    slicer_.stop();
    std::unique_ptr<PendingLoad> load = std::move(pending_);
    setReadOnly(load->readOnly);
    // Later: an edit under way puts back, when it ends, the undo state it found.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!pending_) document()->setUndoRedoEnabled(true);
        },
        Qt::QueuedConnection);
}

void TextBox::Settle() const {
    // Reading the text is no change to it, even where the rest of a load must go in first.
    const_cast<TextBox*>(this)->FinishLoad();
}

void TextBox::SetLoadSlices(qsizetype above, qsizetype slice, int budgetMs) {
    slicedAbove_ = above;
    slice_ = std::max<qsizetype>(slice, 1);
    sliceBudgetMs_ = budgetMs;
}

void TextBox::InsertText(QTextCursor& cursor, const QString& text) {
    FinishLoad();
    BoxContent content = EncodeForBox(text);
    cursor = WholeUnits(cursor);
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const qsizetype at = cursor.position();
    // The blocks the text adds take the format of the block it goes into, marks and all.
    const bool inherits = CutBefore(cursor.block());
    cursor.insertText(content.raw);
    if (inherits || !content.cuts.empty()) {
        for (qsizetype& cut : content.cuts) cut += at;
        MarkCuts(at, at + content.raw.size(), content.cuts);
    }
    cursor.endEditBlock();
}

QString TextBox::text() const {
    Settle();
    return TextFromBox(RemoveCuts(document()->toRawText(), Cuts()));
}

bool TextBox::PatchReading(int position, int removed, int added) {
    // A key typed or deleted: a screen reader asks for the text at each, and reading a large
    // one again whole would hold every key for most of a second.
    constexpr int kPatchedUpTo = 4096;
    if (added > kPatchedUpTo || removed > kPatchedUpTo) return false;
    const QTextDocument* doc = document();
    if (position + added > doc->characterCount()) return false;
    QString text(added, Qt::Uninitialized);
    for (int i = 0; i < added; ++i) text[i] = doc->characterAt(position + i);
    return reading_->Patch(position, removed, text, doc->characterAt(position - 1));
}

const BoxReading& TextBox::Reading() const {
    Settle();
    if (!reading_) reading_.emplace(Content());
    return *reading_;
}

QString TextBox::SelectedText() const {
    Settle();
    const QTextCursor cursor = WholeUnits(textCursor());
    const qsizetype start = cursor.selectionStart(), end = cursor.selectionEnd();
    std::vector<qsizetype> cuts = Cuts(start, end);
    for (qsizetype& cut : cuts) cut -= start;
    return TextFromBox(RemoveCuts(cursor.selectedText(), cuts));
}

QMimeData* TextBox::createMimeDataFromSelection() const {
    auto* mime = new QMimeData;
    mime->setText(SelectedText());
    return mime;
}

void TextBox::insertFromMimeData(const QMimeData* source) {
    if (isReadOnly() || source == nullptr || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    QTextCursor cursor = textCursor();
    InsertText(cursor, source->text());
    setTextCursor(cursor);
    ensureCursorVisible();
}

void TextBox::keyPressEvent(QKeyEvent* event) {
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (tab && (event->modifiers() & Qt::ControlModifier)) {
        const bool back =
            event->key() == Qt::Key_Backtab || (event->modifiers() & Qt::ShiftModifier);
        QWidget::focusNextPrevChild(!back);  // the box's own keeps the focus for a tab
        event->accept();
        return;
    }
    // Keys that edit or copy wait for the whole text; scrolling through what is in need not.
    if (Loading() && !Navigates(event)) FinishLoad();
    if (isReadOnly()) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    const bool backspace = event->key() == Qt::Key_Backspace &&
                           !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier));
    const bool del = event->matches(QKeySequence::Delete);
    const bool enter = event->matches(QKeySequence::InsertParagraphSeparator);
    // An edit never goes between a marker and what it marks: the cursor there stands, to
    // the eye, before the marker.
    if (backspace || del || enter || !event->text().isEmpty()) {
        const QTextCursor whole = WholeUnits(textCursor());
        if (!Same(whole, textCursor())) setTextCursor(whole);
    }
    QTextCursor cursor = textCursor();
    if (enter) {
        QPlainTextEdit::keyPressEvent(event);
        // The new block took the mark of the one it split; its break is a typed one.
        cursor = textCursor();
        QTextBlockFormat format = cursor.blockFormat();
        if (format.hasProperty(kCutBefore)) {
            format.clearProperty(kCutBefore);
            cursor.joinPreviousEditBlock();
            cursor.setBlockFormat(format);
            cursor.endEditBlock();
        }
        return;
    }
    // A cut is no character: Backspace and Delete reach the character beyond it. A marker
    // and what it marks go together.
    if (!cursor.hasSelection() && (backspace || del)) {
        const QTextDocument* doc = document();
        if (backspace) {
            while (cursor.atBlockStart() && cursor.position() > 0 && CutBefore(cursor.block()))
                cursor.setPosition(cursor.position() - 1);
            const int at = cursor.position();
            if (at >= 2 && UnitStartAt(doc, at - 1) == at - 2)
                cursor.setPosition(at - 2, QTextCursor::KeepAnchor);
        } else {
            while (cursor.atBlockEnd() && CutBefore(cursor.block().next()))
                cursor.setPosition(cursor.position() + 1);
            const int at = cursor.position();
            if (UnitStartAt(doc, at + 1) == at) cursor.setPosition(at + 2, QTextCursor::KeepAnchor);
        }
        if (!Same(cursor, textCursor())) setTextCursor(cursor);
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TextBox::SelectStretch(qsizetype start, qsizetype end) {
    const BoxReading& reading = Reading();
    const qsizetype last = std::max(document()->characterCount() - 1, 0);
    const auto position = [&](qsizetype offset) {
        return static_cast<int>(std::clamp<qsizetype>(reading.Position(offset), 0, last));
    };
    QTextCursor cursor(document());
    // The cursor at the start, so that a sentence longer than the box shows its beginning.
    cursor.setPosition(position(end));
    cursor.setPosition(position(start), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    ensureCursorVisible();
}

void TextBox::dragEnterEvent(QDragEnterEvent* event) {
    if (!LocalFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
        return;
    }
    QPlainTextEdit::dragEnterEvent(event);
}

void TextBox::dragMoveEvent(QDragMoveEvent* event) {
    if (!LocalFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
        return;
    }
    QPlainTextEdit::dragMoveEvent(event);
}

void TextBox::dropEvent(QDropEvent* event) {
    const QStringList paths = LocalFiles(event->mimeData());
    if (!paths.isEmpty()) {
        event->acceptProposedAction();
        emit filesDropped(paths);
        return;
    }
    QPlainTextEdit::dropEvent(event);
}

}  // namespace brintale
