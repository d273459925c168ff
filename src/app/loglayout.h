#pragma once

#include <QAbstractTextDocumentLayout>
#include <QTimer>

class QTextBlock;

// Layout for the traffic log: a plain-text document shown in a QTextEdit.
//
// A block's y is never stored. Each block's height in pixels is kept in the
// document's block tree, in the field QTextBlock::setLineCount() writes, so a
// block's top is QTextBlock::firstLineNumber() and the block at a given y is
// QTextDocument::findBlockByLineNumber(), both O(log n). Inserting a line at the
// top therefore costs the same however long the log has grown.
//
// Blocks are laid out when a change touches them; after a width change or a
// large insert they are laid out when shown and, in the background, in short
// slices, until the heights are exact again.
class LogLayout : public QAbstractTextDocumentLayout
{
    Q_OBJECT
    // Read and written by name by QWidgetTextControl.
    Q_PROPERTY(int cursorWidth READ cursorWidth WRITE setCursorWidth)

public:
    explicit LogLayout(QTextDocument *document);

    void draw(QPainter *painter, const PaintContext &context) override;
    int hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const override;
    int pageCount() const override;
    QSizeF documentSize() const override;
    QRectF frameBoundingRect(QTextFrame *frame) const override;
    QRectF blockBoundingRect(const QTextBlock &block) const override;

    int cursorWidth() const { return m_cursorWidth; }
    void setCursorWidth(int width);

    // True when every block is laid out for the current width, so the heights
    // and the document size are exact.
    bool isSettled() const { return m_settleFrom < 0; }

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    qreal blockTop(const QTextBlock &block) const;
    QTextBlock blockAt(qreal y) const;
    void ensureLaidOut(const QTextBlock &block) const;
    bool layoutBlock(const QTextBlock &block);
    void drawBlock(QPainter *painter, const PaintContext &context, const QTextBlock &block,
                   qreal top) const;
    void release(const QTextBlock &block);
    void markDirty(qreal top);
    void settleSome();
    void flush();

    QTimer m_settle;
    int m_shapedFirst = -1; // blocks the last paint drew, by number; -1 when none
    int m_shapedLast = -1;
    QSizeF m_size;         // last size announced with documentSizeChanged()
    qreal m_widest = 0;    // widest laid-out block, margins included
    qreal m_dirtyTop = -1; // repaint owed from here down; -1 when none
    int m_lineHeight = 0;  // height assumed for a block not laid out yet
    int m_settleFrom = -1; // first block that may not be laid out; -1 when none
    int m_blockCount = 0;
    int m_cursorWidth = 1;
};
