#pragma once

#include <QByteArray>

// Frames of the module's protocol document, requests and replies, as they go on the wire.
struct ReferenceFrame
{
    const char *name;
    const char *hex;
};

inline constexpr ReferenceFrame kReferenceFrames[] = {
    {"read address", "00200068"},
    {"address report 1", "002001a9c0"},
    {"write address 1", "001001bdc0"},
    {"write address 5", "001005bc03"},
    {"address changed", "0010007c"},
    {"read m1 freq", "010300020002 65cb"},
    {"read m2 freq", "010300070002 75ca"},
    {"freq reply 10000", "01030400002710 e00f"},
    {"set m1 freq 10000", "01100002000204 00002710 684a"},
    {"set m1 freq reply", "011000020002 e008"},
    {"set m2 freq 10000", "01100007000204 00002710 a875"},
    {"set m2 freq reply", "011000070002 f009"},
    {"read m1 dir", "010300040001 c5cb"},
    {"read m2 dir", "010300090001 5408"},
    {"dir reply forward", "0103020000 b844"},
    {"dir reply reverse", "0103020001 7984"},
    {"set m1 forward", "010600040000 c80b"},
    {"set m1 reverse", "010600040001 09cb"},
    {"set m2 forward", "010600090000 59c8"},
    {"set m2 reverse", "010600090001 9808"},
    {"read m1 speed", "010300050001 940b"},
    {"read m2 speed", "0103000a0001 a408"},
    {"speed reply 50", "0103020032 3991"},
    {"set m1 speed 50", "010600050032 181e"},
    {"set m2 speed 50", "0106000a0032 281d"},
    {"brake m1", "010600060001 a80b"},
    {"brake m2", "0106000b0001 39c8"},
    {"read m1 alarm", "0103000c0001 4409"},
    {"read m2 alarm", "0103000d0001 15c9"},
    {"clear m1 alarm", "0106000c0000 49c9"},
    {"clear m2 alarm", "0106000d0000 1809"},
    {"read all", "0103000000 0c45cf"},
    {"read all addr 0", "0003000000 0c441e"},
    {"line speed 1200", "01100000000204 000004b0 f0db"},
    {"line speed 2400", "01100000000204 00000960 f5d7"},
    {"line speed 4800", "01100000000204 000012c0 ff5f"},
    {"line speed 9600", "01100000000204 00002580 e89f"},
    {"line speed 14400", "01100000000204 00003840 e19f"},
    {"line speed 19200", "01100000000204 00004b00 c55f"},
    {"line speed 57600", "01100000000204 0000e100 bbff"},
    {"line speed 115200", "01100000000204 0001c200 f30f"},
    {"line speed 128000", "01100000000204 0001f400 e4af"},
    {"line speed 19200 addr 2", "02100000000204 00004b00 ca1b"},
    {"line speed reply", "011000000002 41c8"},
    {"m1 forward 50", "01100004000204 00000032 7389"},
    {"m1 forward empty", "01100004000204 00000000 f25c"},
    {"m1 reverse 50", "01100004000204 00010032 2249"},
    {"m1 stop", "010600050000 99cb"},
    {"m1 stop addr 0", "000600050000 981a"},
    {"m1 freq 500", "01100002000204 000001f4 7261"},
    {"m1 freq 0", "01100002000204 00000000 7276"},
    {"m2 forward 50", "01100009000204 00000032 b210"},
    {"m2 reverse 50", "01100009000204 00010032 e3d0"},
    {"m2 reverse 100 addr 2", "02100009000204 00010064 6caa"},
    {"m2 stop", "0106000a0000 a9c8"},
    {"m1 brake addr 254", "fe0600060001 bc04"},
};

inline QByteArray fromHex(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}
