#include "mainwindow.h"

#include "help.h"
#include "loglayout.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QIntValidator>
#include <QTimer>

// Resources live in the static library; the program and the tests both need them.
static void initResources()
{
    Q_INIT_RESOURCE(quarvex);
}

using namespace quarvex;

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), m_serial(nullptr), m_scanTimer(nullptr),
      m_help(nullptr), m_quietTimer(nullptr)
{
    initResources();
    ui->setupUi(this);
    lockControls();
    // No button text is clipped: where the fonts need more room than the form gives
    // (Fusion with a substituted CJK face), the port panel and the two buttons of the
    // middle band take the width their contents need; elsewhere they keep the form's.
    for (QPushButton *b : {ui->btnSystem, ui->btnClear})
        b->setMaximumWidth(qMax(b->maximumWidth(), b->sizeHint().width()));
    ui->groupBox_6->setFixedWidth(
        qMax(ui->groupBox_6->minimumWidth(), ui->groupBox_6->minimumSizeHint().width()));

    // Parented to the window, so an open port is closed when the window goes.
    m_serial = new QSerialPort(this);
    m_scanTimer = new QTimer(this);
    m_scanTimer->setInterval(1000);
    m_scanTimer->start();
    connect(m_scanTimer, SIGNAL(timeout()), this, SLOT(slotTimeout()));
    connect(m_serial, SIGNAL(readyRead()), this, SLOT(slotReceived1()));
    connect(m_serial, &QSerialPort::errorOccurred, this, &MainWindow::onPortError);

    m_quietTimer = new QTimer(this);
    m_quietTimer->setSingleShot(true);
    m_quietTimer->setTimerType(Qt::PreciseTimer);
    connect(m_quietTimer, &QTimer::timeout, this, &MainWindow::onQuietTimeout);
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
