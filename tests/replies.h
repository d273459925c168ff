#pragma once

// Replies as the module sends them.
#include "link/crc16.h"

#include <QPair>
#include <QVector>
#include <QtEndian>

inline QByteArray fromHex(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}

// A frame as sent: hex without its CRC, which is added.
inline QByteArray frame(const char *hex)
{
    return quarvex::withCrc(fromHex(hex));
}

// A read-all reply: registers 00-0B as the module holds them.
inline QByteArray parameterReply(quint8 address, quint32 lineSpeed, quint32 freq1, quint16 dir1,
                                 quint16 speed1, quint16 brake1, quint32 freq2, quint16 dir2,
                                 quint16 speed2, quint16 brake2)
{
    char regs[24];
    const quint16 motor1[] = {dir1, speed1, brake1};
    const quint16 motor2[] = {dir2, speed2, brake2};
    qToBigEndian(lineSpeed, regs);
    qToBigEndian(freq1, regs + 4);
    qToBigEndian<quint16>(motor1, 3, regs + 8);
    qToBigEndian(freq2, regs + 14);
    qToBigEndian<quint16>(motor2, 3, regs + 18);
    return quarvex::withCrc(QByteArray(1, char(address)) + "\x03\x18" + QByteArray(regs, 24));
}

inline QByteArray factoryParameterReply()
{
    return parameterReply(1, 9600, 10000, 0, 0, 0, 10000, 0, 0, 0);
}

inline const char *factorySummary()
{
    return "波特率=9600 电机1PWM频率=10000 电机1正转 电机1速度=0 电机2PWM频率=10000 电机2正转 "
           "电机2速度=0 ";
}

// One of each reply shape the module sends.
inline QVector<QPair<const char *, QByteArray>> referenceReplies()
{
    return {{"address report", fromHex("002001 a9c0")},
            {"address changed", fromHex("0010 007c")},
            {"line speed written at 0", fromHex("001000000002 4019")}, // 00 10 as above, 8 long
            {"pwm written", fromHex("011000020002 e008")},
            {"06 echo", fromHex("010600060001 a80b")},
            {"one register", fromHex("0103020001 7984")},
            {"two registers", fromHex("01030400002710 e00f")},
            {"read all", factoryParameterReply()},
            {"exception", fromHex("018302 c0f1")}};
}
