#include "loglayout.h"

#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QtMath>

#include <climits>

namespace {

// A change touching more blocks than this (a paste, setPlainText) is laid out
// lazily; below it the heights are exact as soon as the change returns.
constexpr int kEagerBlocks = 256;
// Longest stretch of background layout between two looks at the event queue.
constexpr qint64 kSliceMs = 8;
// "Everything from here down", as Qt's own layouts send it.
constexpr qreal kFar = 1e9;

// A block's height in pixels lives where QTextBlock keeps its line count.
int heightOf(const QTextBlock &block)
{
    return block.lineCount();
}

void setHeight(QTextBlock block, int pixels)
{
    block.setLineCount(pixels);
}

} // namespace

LogLayout::LogLayout(QTextDocument *document) : QAbstractTextDocumentLayout(document)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(0);
    connect(&m_settle, &QTimer::timeout, this, &LogLayout::settleSome);
    m_blockCount = document->blockCount();
}

void LogLayout::setCursorWidth(int width)
{
    m_cursorWidth = width;
}

int LogLayout::pageCount() const
{
    return 1;
}

QSizeF LogLayout::documentSize() const
{
    const QTextDocument *doc = document();
    const qreal margin = doc->documentMargin();
    // The line-count total of the block tree is the sum of the block heights.
    return QSizeF(qMax(doc->textWidth(), m_widest), doc->lineCount() + 2 * margin);
}

QRectF LogLayout::frameBoundingRect(QTextFrame *) const
{
    return QRectF(QPointF(0, 0), documentSize());
}

QRectF LogLayout::blockBoundingRect(const QTextBlock &block) const
{
    if (!block.isValid())
        return QRectF();
    ensureLaidOut(block);
    return QRectF(0, blockTop(block), documentSize().width(), heightOf(block));
}

qreal LogLayout::blockTop(const QTextBlock &block) const
{
    return document()->documentMargin() + block.firstLineNumber();
}

// The block whose rows hold document y, laid out; the first or last one for a
// y above or below the text.
QTextBlock LogLayout::blockAt(qreal y) const
{
    const QTextDocument *doc = document();
    const qreal row = y - doc->documentMargin();
    QTextBlock block = row < 0 ? doc->firstBlock() : doc->findBlockByLineNumber(int(row));
    if (!block.isValid())
        block = doc->lastBlock();
    for (;;) {
        // Laying a block out may shrink it below y; the point is then further down.
        ensureLaidOut(block);
        const QTextBlock next = block.next();
        if (!next.isValid() || blockTop(block) + heightOf(block) > y)
            return block;
        block = next;
    }
}

void LogLayout::ensureLaidOut(const QTextBlock &block) const
{
    if (block.layout()->lineCount() > 0)
        return;
    // Layout is a cache here; a block that changes height owes a repaint below it.
    auto *self = const_cast<LogLayout *>(this);
    if (self->layoutBlock(block))
        self->markDirty(blockTop(block));
}

// Lays the block out for the current width and stores its height; true when the
// height changed.
bool LogLayout::layoutBlock(const QTextBlock &block)
{
    const QTextDocument *doc = document();
    const qreal margin = doc->documentMargin();
    const qreal width = doc->textWidth();
    const qreal available = width > 0 ? qMax<qreal>(width - 2 * margin, 0) : qreal(INT_MAX);

    QTextLayout *layout = block.layout();
    QTextOption option = doc->defaultTextOption();
    option.setTextDirection(block.textDirection());
    layout->setTextOption(option);

    qreal y = 0;
    qreal bottom = 0;
    qreal widest = 0;
    layout->beginLayout();
    for (;;) {
        QTextLine line = layout->createLine();
        if (!line.isValid())
            break;
        line.setLeadingIncluded(true);
        line.setLineWidth(available);
        line.setPosition(QPointF(margin, y));
        // Spaced as QTextDocumentLayout spaces them, so the log looks as before.
        bottom = y + line.height();
        y += qCeil(line.ascent() + line.descent() + line.leading());
        widest = qMax(widest, line.naturalTextWidth());
    }
    layout->endLayout();

    m_widest = qMax(m_widest, widest + 2 * margin);
    const int pixels = block.isVisible() ? qCeil(qMax(y, bottom)) : 0;
    if (layout->lineCount() == 1 && pixels > 0)
        m_lineHeight = pixels;
    if (pixels == heightOf(block))
        return false;
    setHeight(block, pixels);
    return true;
}

void LogLayout::documentChanged(int from, int, int charsAdded)
{
    QTextDocument *doc = document();
    // The block after the inserted text is a new node too when the text ends in
    // a line break, so it belongs to the change.
    QTextBlock first = doc->findBlock(from);
    QTextBlock last = doc->findBlock(from + charsAdded);
    if (!first.isValid())
        first = doc->lastBlock();
    if (!last.isValid())
        last = doc->lastBlock();
    const int firstNumber = first.blockNumber();
    const int blocks = last.blockNumber() - firstNumber + 1;
    const int added = doc->blockCount() - m_blockCount;
    m_blockCount = doc->blockCount();

    if (first == doc->firstBlock() && last == doc->lastBlock())
        m_widest = 0;
    // Blocks after the change moved by `added`; keep pointing at the same one.
    if (m_settleFrom >= 0 && firstNumber < m_settleFrom)
        m_settleFrom = qMax(firstNumber, m_settleFrom + added);
    if (m_shapedLast >= firstNumber) {
        m_shapedLast = qMax(firstNumber, m_shapedLast + added);
        if (m_shapedFirst >= firstNumber)
            m_shapedFirst = qMax(firstNumber, m_shapedFirst + added);
    }

    bool sameHeight = true;
    if (blocks <= kEagerBlocks) {
        for (QTextBlock block = first;; block = block.next()) {
            if (layoutBlock(block))
                sameHeight = false;
            if (block == last)
                break;
        }
    } else {
        // Width and font changes land here for the whole log. A block keeps its
        // old height as a guess; a new one gets the height of a plain line.
        layoutBlock(first);
        if (m_lineHeight <= 0)
            m_lineHeight = qCeil(QFontMetricsF(doc->defaultFont()).height());
        for (QTextBlock block = first.next(); block.isValid(); block = block.next()) {
            QTextLayout *layout = block.layout();
            if (layout->lineCount() > 0)
                layout->clearLayout();
            else
                setHeight(block, block.isVisible() ? m_lineHeight : 0);
            if (block == last)
                break;
        }
        sameHeight = false;
        const int next = firstNumber + 1;
        m_settleFrom = m_settleFrom < 0 ? next : qMin(m_settleFrom, next);
        m_settle.start();
    }

    if (sameHeight && blocks == 1 && added == 0)
        emit updateBlock(first);
    else
        markDirty(blockTop(first));
    flush();
}

void LogLayout::markDirty(qreal top)
{
    m_dirtyTop = m_dirtyTop < 0 ? top : qMin(m_dirtyTop, top);
    if (!m_settle.isActive())
        m_settle.start();
}

// One slice of background layout, then the signals owed by lazy layout.
void LogLayout::settleSome()
{
    if (m_settleFrom >= 0) {
        QElapsedTimer clock;
        clock.start();
        QTextBlock block = document()->findBlockByNumber(m_settleFrom);
        for (int n = 1; block.isValid(); ++n) {
            if (block.layout()->lineCount() == 0 && layoutBlock(block))
                markDirty(blockTop(block));
            block = block.next();
            if (n % 64 == 0 && clock.elapsed() >= kSliceMs)
                break;
        }
        m_settleFrom = block.isValid() ? block.blockNumber() : -1;
    }
    flush();
    if (m_settleFrom >= 0)
        m_settle.start();
    else
        m_settle.stop(); // what this slice owed is flushed
}

void LogLayout::flush()
{
    // A receiver may change the document (a new width) and call back in here.
    const qreal dirtyTop = m_dirtyTop;
    m_dirtyTop = -1;
    const QSizeF size = documentSize();
    if (size != m_size) {
        m_size = size;
        emit documentSizeChanged(size);
    }
    if (dirtyTop >= 0)
        emit update(QRectF(0, dirtyTop, kFar, kFar));
}

int LogLayout::hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const
{
    const QTextBlock block = blockAt(point.y());
    if (!block.isValid())
        return -1;
    const QTextLayout *layout = block.layout();
    const QPointF local = point - QPointF(0, blockTop(block));
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        const QRectF rect = line.naturalTextRect();
        if (local.y() >= rect.bottom() && i + 1 < layout->lineCount())
            continue;
        if (accuracy == Qt::ExactHit) {
            if (!rect.contains(local))
                return -1;
            return block.position() + line.xToCursor(local.x(), QTextLine::CursorOnCharacter);
        }
        return block.position() + line.xToCursor(local.x());
    }
    return accuracy == Qt::ExactHit ? -1 : block.position();
}

void LogLayout::draw(QPainter *painter, const PaintContext &context)
{
    const QRectF clip =
        context.clip.isValid() ? context.clip : QRectF(QPointF(0, 0), documentSize());
    QTextBlock block = blockAt(clip.top());
    qreal top = blockTop(block);
    const QPen pen = painter->pen();
    painter->setPen(context.palette.color(QPalette::Text));
    int first = -1;
    int last = -1;
    for (int number = block.blockNumber(); block.isValid() && top <= clip.bottom();
         block = block.next(), ++number) {
        ensureLaidOut(block);
        const int height = heightOf(block);
        if (height > 0 && top + height >= clip.top()) {
            drawBlock(painter, context, block, top);
            if (first < 0)
                first = number;
            last = number;
        }
        top += height;
    }
    painter->setPen(pen);
    // Drawing keeps a block's glyphs, tens of kilobytes for a long line of noise.
    // Blocks that were drawn last time and not now have left the view: drop their
    // layout, which the height stored aside makes cheap to redo when they return.
    // They are found by number: a handle kept from the last paint may name a block
    // removed since (the log trimmed or cleared), and reach into freed storage.
    if (m_shapedFirst >= 0) {
        QTextBlock old = document()->findBlockByNumber(m_shapedFirst);
        for (int n = m_shapedFirst; old.isValid() && n <= m_shapedLast; old = old.next(), ++n)
            if (n < first || n > last)
                release(old);
    }
    m_shapedFirst = first;
    m_shapedLast = last;
}

void LogLayout::release(const QTextBlock &block)
{
    // An empty layout pass ends by freeing what shaping built.
    QTextLayout *layout = block.layout();
    layout->beginLayout();
    layout->endLayout();
}

void LogLayout::drawBlock(QPainter *painter, const PaintContext &context, const QTextBlock &block,
                          qreal top) const
{
    const QTextLayout *layout = block.layout();
    const int start = block.position();
    const int length = block.length();

    QVector<QTextLayout::FormatRange> selections;
    for (const Selection &selection : context.selections) {
        const QTextCursor &cursor = selection.cursor;
        QTextLayout::FormatRange range;
        range.format = selection.format;
        if (cursor.selectionEnd() - start > 0 && cursor.selectionStart() - start < length &&
            cursor.hasSelection()) {
            range.start = cursor.selectionStart() - start;
            range.length = cursor.selectionEnd() - cursor.selectionStart();
            selections.append(range);
        } else if (!cursor.hasSelection() &&
                   selection.format.hasProperty(QTextFormat::FullWidthSelection) &&
                   block.contains(cursor.position())) {
            // A full-width selection marks the cursor's line, selection or not.
            const QTextLine line = layout->lineForTextPosition(cursor.position() - start);
            range.start = line.textStart();
            range.length = line.textLength();
            if (range.start + range.length == length - 1)
                ++range.length;
            selections.append(range);
        }
    }
    const QPointF offset(0, top);
    layout->draw(painter, offset, selections, context.clip);

    int cursor = context.cursorPosition;
    if (cursor < -1 && !layout->preeditAreaText().isEmpty())
        cursor = layout->preeditAreaPosition() - (cursor + 2);
    else if (cursor >= start && cursor < start + length)
        cursor -= start;
    else
        return;
    layout->drawCursor(painter, offset, cursor, m_cursorWidth);
}
