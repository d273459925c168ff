#include "mainwindow.h"

#include "help.h"
#include "link/portwatch.h"
#include "link/transport.h"
#include "loglayout.h"
#include "ui_mainwindow.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QIntValidator>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QTreeView>

#include <algorithm>

// Resources live in the static library; the program and the tests both need them.
static void initResources()
{
    Q_INIT_RESOURCE(quarvex);
}

using namespace quarvex;

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), m_serial(nullptr), m_scanTimer(nullptr),
      m_help(nullptr), m_quietTimer(nullptr), m_takeTimer(nullptr), m_noiseTimer(nullptr),
      m_portWatch(nullptr)
{
    initResources();
    ui->setupUi(this);
    lockControls();
    // No button text is clipped: where the fonts need more room than the form gives
    // (Fusion with a substituted CJK face), the port panel and the two buttons of the
    // middle band take the width their contents need; elsewhere they keep the form's.
    for (QPushButton *b : {ui->btnSystem, ui->btnClear})
        b->setMaximumWidth(qMax(b->maximumWidth(), b->sizeHint().width()));
    // groupBox_6, the port panel: named as the form designer numbered it, fixed by the form.
    ui->groupBox_6->setFixedWidth(
        qMax(ui->groupBox_6->minimumWidth(), ui->groupBox_6->minimumSizeHint().width()));

#ifdef Q_OS_LINUX
    // Serial devices come and go as nodes in /dev.
    m_portWatch = new PortWatch(QStringLiteral("/dev"), this);
#else
    // No device folder to watch (COM ports on Windows): every tick lists the ports.
    m_portWatch = new PortWatch(QString(), this);
#endif
    // Until a port is chosen: a closed one, which refuses writes as any closed port does.
    m_serial = createTransport(QString(), this);
    m_scanTimer = new QTimer(this);
    m_scanTimer->setObjectName(QStringLiteral("scanTimer"));
    m_scanTimer->setInterval(1000);
    m_scanTimer->start();
    // Wired by signature, as the window's fixed interface has these two slots wired.
    connect(m_scanTimer, SIGNAL(timeout()), this, SLOT(slotTimeout()));

    m_quietTimer = new QTimer(this);
    m_quietTimer->setSingleShot(true);
    m_quietTimer->setTimerType(Qt::PreciseTimer);
    connect(m_quietTimer, &QTimer::timeout, this, &MainWindow::onQuietTimeout);
    m_takeTimer = new QTimer(this);
    m_takeTimer->setSingleShot(true);
    connect(m_takeTimer, &QTimer::timeout, this, &MainWindow::takeReceived);
    m_noiseTimer = new QTimer(this);
    m_noiseTimer->setInterval(1000);
    connect(m_noiseTimer, &QTimer::timeout, this, &MainWindow::summariseNoise);
    m_clock.start();

    const auto validator = [this](Field field) {
        const FieldSpec &f = fieldSpec(field);
        return new QIntValidator(int(f.min), int(f.max), this);
    };
    auto *speed = validator(Field::Speed);
    ui->lineEditMotor1Follow->setValidator(speed);
    ui->lineEditMotor2Follow->setValidator(speed);
    ui->lineEditMotor1Back->setValidator(speed);
    ui->lineEditMotor2Back->setValidator(speed);
    auto *frequency = validator(Field::Frequency);
    ui->lineEditMotor1Freq->setValidator(frequency);
    ui->lineEditMotor2Freq->setValidator(frequency);
    ui->lineEdit_addr->setValidator(validator(Field::Address));

    // Lines go in at the top without re-setting the rest; pasted markup stays plain
    // text, and an undo history of every log line would only grow.
    ui->textEditRead->setAcceptRichText(false);
    ui->textEditRead->setUndoRedoEnabled(false);
    // Qt's own layout moves every line below an insertion; this one does not.
    QTextDocument *log = ui->textEditRead->document();
    auto *logLayout = new LogLayout(log);
    logLayout->setPaintDevice(ui->textEditRead->viewport());
    log->setDocumentLayout(logLayout);

    // A per-user link or a /dev/serial/by-id path is longer than the box is wide.
    connect(ui->comboPort, &QComboBox::currentTextChanged, ui->comboPort, &QWidget::setToolTip);

    ui->textEditRead->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->textEditRead, &QWidget::customContextMenuRequested, this, &MainWindow::showLogMenu);

    connect(ui->menu, SIGNAL(triggered(QAction *)), this, SLOT(slotHelp()));

    m_help = new Help(this);
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::lockControls()
{
    setDeviceControlsEnabled(false);
}

void MainWindow::unlockControls()
{
    setDeviceControlsEnabled(true);
}

void MainWindow::setDeviceControlsEnabled(bool enabled)
{
    for (QPushButton *b : {ui->btnM1Back, ui->btnM1Follow, ui->btnM1Break, ui->btnM2Back,
                           ui->btnM2Follow, ui->btnM2Break, ui->btnSystem, ui->btnM1Freq,
                           ui->btnM2Freq, ui->btnM1Stop, ui->btnM2Stop, ui->btnWriteAddr})
        b->setEnabled(enabled);
}

void MainWindow::slotHelp()
{
    qDebug("help");
    m_help->show();
}

void MainWindow::appendLog(const QString &line)
{
    // Insert at the start instead of re-setting the whole text: with LogLayout a
    // line costs the same however long the log has grown.
    QTextDocument *log = ui->textEditRead->document();
    QTextCursor cursor(log);
    cursor.movePosition(QTextCursor::Start);
    // Inside an edit block the cursor does not shape the line it lands on just to
    // remember its x; that shaping would stay in memory with every line.
    cursor.beginEditBlock();
    cursor.insertText(line, QTextCharFormat());
    cursor.endEditBlock();
    // The oldest lines go once the log is full; the last block is the empty one
    // after the final line break.
    if (log->blockCount() > m_logLimit + 1) {
        QTextCursor tail(log->findBlockByNumber(m_logLimit));
        tail.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        tail.removeSelectedText();
    }
}

void MainWindow::setLogLimit(int lines)
{
    m_logLimit = qMax(1, lines);
}

void MainWindow::on_btnClear_clicked()
{
    ui->textEditRead->setText(QString());
}

// The log's usual menu, plus saving it.
void MainWindow::showLogMenu(const QPoint &pos)
{
    QMenu *menu = ui->textEditRead->createStandardContextMenu(pos);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    menu->addAction(tr("保存日志…"), this, [this] {
        QFileDialog dialog(this, tr("保存日志"), QStringLiteral("quarvex-log.txt"),
                           tr("文本文件 (*.txt)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // Qt's own dialog, where the desktop offers none, opens with its date column
        // too narrow for a date and a time.
        if (auto *view = dialog.findChild<QTreeView *>()) {
            view->header()->setSectionResizeMode(3, QHeaderView::ResizeToContents);
            dialog.resize(dialog.width() * 5 / 4, dialog.height());
        }
        if (dialog.exec() != QDialog::Accepted)
            return;
        const QString path = dialog.selectedFiles().value(0);
        QString error;
        if (!path.isEmpty() && !saveLog(path, &error))
            QMessageBox::warning(this, tr("保存日志"), tr("日志保存失败：%1").arg(error));
    });
    menu->popup(ui->textEditRead->viewport()->mapToGlobal(pos));
}

bool MainWindow::saveLog(const QString &path, QString *error)
{
    // The box shows the newest line on top; a file reads from the start.
    QStringList lines = ui->textEditRead->toPlainText().split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    std::reverse(lines.begin(), lines.end());
    const QString port = portOpen() ? m_portInUse : tr("未打开");
    lines.prepend(tr("Quarvex 日志 %1 串口：%2 波特率：%3")
                      .arg(QDateTime::currentDateTime().toString(Qt::ISODate), port,
                           ui->comboBaud->currentText()));

    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
        if (file.commit()) {
            appendLog(tr("日志已保存：") + QDir::toNativeSeparators(path) + QLatin1Char('\n'));
            return true;
        }
    }
    if (error)
        *error = file.errorString();
    return false;
}
