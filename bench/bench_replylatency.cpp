// Time from the last byte of an address report written to the pseudo-terminal to
// the address box showing it: the window's framer against a fixed 50 ms settle
// (sleep a millisecond, process events, 50 times, then read everything).
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_replylatency
#include "link/crc16.h"
#include "link/replydecoder.h"
#include "mainwindow.h"
#include "ptylink.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kReplies = 200;

// The receive path the framer replaced, kept here only as the yardstick.
class SettleReceiver : public QObject
{
public:
    SettleReceiver(const QString &path, QLineEdit *box) : m_box(box)
    {
        m_port.setPortName(path);
        m_port.setBaudRate(9600);
        m_port.open(QIODevice::ReadWrite);
        connect(&m_port, &QSerialPort::readyRead, this, &SettleReceiver::received);
    }

private:
    void received()
    {
        for (int i = 0; i < 50; ++i) {
            QThread::msleep(1);
            QCoreApplication::processEvents();
        }
        const QByteArray reply = m_port.readAll();
        if (quarvex::classifyReply(reply) == quarvex::ReplyKind::AddressReport)
            m_box->setText(QString::number(quarvex::reportedAddress(reply)));
    }

    QSerialPort m_port;
    QLineEdit *m_box;
};

QByteArray report(int address)
{
    QByteArray f("\x00\x20", 2);
    f.append(char(address));
    return quarvex::withCrc(f);
}

// Median microseconds from write() to the box showing the address.
double medianLatency(quarvex::sim::PtyLink &pty, QLineEdit *box)
{
    std::vector<double> samples;
    for (int i = 0; i < kReplies; ++i) {
        const QString expected = QString::number(1 + i % 2);
        QEventLoop loop;
        QElapsedTimer clock;
        double us = -1;
        const auto c = QObject::connect(box, &QLineEdit::textChanged, [&](const QString &text) {
            if (text == expected && us < 0) {
                us = double(clock.nsecsElapsed()) / 1000.0;
                loop.quit();
            }
        });
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        pty.write(report(1 + i % 2));
        clock.start();
        loop.exec();
        QObject::disconnect(c);
        if (us >= 0)
            samples.push_back(us);
        // Let the line go quiet so replies stay apart.
        QEventLoop pause;
        QTimer::singleShot(60, &pause, &QEventLoop::quit);
        pause.exec();
    }
    if (samples.empty())
        return -1;
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    // Nobody listens to what the window writes: the pty's notifier drains it.
    quarvex::sim::PtyLink windowPty, settlePty;
    QString error;
    if (!windowPty.open(9600, &error) || !settlePty.open(9600, &error)) {
        std::fprintf(stderr, "pty: %s\n", qPrintable(error));
        return 1;
    }
    MainWindow w;
    w.findChild<QComboBox *>(QStringLiteral("comboPort"))->setEditText(windowPty.path());
    w.findChild<QPushButton *>(QStringLiteral("btnOpen"))->click();
    auto *windowBox = w.findChild<QLineEdit *>(QStringLiteral("lineEdit_addr"));
    windowBox->setText(QStringLiteral("2"));
    const double framed = medianLatency(windowPty, windowBox);

    QLineEdit settleBox(QStringLiteral("2"));
    SettleReceiver settle(settlePty.path(), &settleBox);
    const double settled = medianLatency(settlePty, &settleBox);

    std::printf("address report to address box through a pseudo-terminal, median of %d:\n",
                kReplies);
    std::printf("  framer        %10.0f us\n", framed);
    std::printf("  50 ms settle  %10.0f us\n", settled);
    std::printf("  ratio         %10.1fx\n", settled / framed);
    return framed < 0 || settled < 0;
}
