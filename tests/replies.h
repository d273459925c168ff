#pragma once

#include "link/crc16.h"
#include "referenceframes.h"

#include <QVector>

// A read-all reply: registers 00-0B as the module holds them.
inline QByteArray parameterReply(quint8 address, quint32 lineSpeed, quint32 freq1, quint16 dir1,
                                 quint16 speed1, quint16 brake1, quint32 freq2, quint16 dir2,
                                 quint16 speed2, quint16 brake2)
{
    QByteArray f;
    f.append(char(address)).append('\x03').append('\x18');
    const auto put16 = [&](quint32 v) { f.append(char((v >> 8) & 0xFF)).append(char(v & 0xFF)); };
    const auto put32 = [&](quint32 v) { put16(v >> 16), put16(v & 0xFFFF); };
    put32(lineSpeed);
    put32(freq1);
    put16(dir1);
    put16(speed1);
    put16(brake1);
    put32(freq2);
    put16(dir2);
    put16(speed2);
    put16(brake2);
    return quarvex::withCrc(f);
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

// Every reply shape the module sends.
inline QVector<QPair<QByteArray, QByteArray>> referenceReplies()
{
    QVector<QPair<QByteArray, QByteArray>> r;
    for (const char *name :
         {"address report 1", "address changed", "freq reply 10000", "set m1 freq reply",
          "set m2 freq reply", "dir reply forward", "dir reply reverse", "set m1 forward",
          "set m2 reverse", "speed reply 50", "set m1 speed 50", "brake m1", "brake m2",
          "clear m1 alarm", "line speed reply"}) {
        for (const ReferenceFrame &f : kReferenceFrames)
            if (qstrcmp(f.name, name) == 0)
                r.append({name, fromHex(f.hex)});
    }
    r.append({"read all reply", factoryParameterReply()});
    r.append({"exception", quarvex::withCrc(fromHex("018302"))});
    return r;
}
