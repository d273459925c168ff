#pragma once

#include <QByteArray>
#include <QVector>

namespace quarvex {

// Telnet with the COM-PORT-CONTROL option (RFC 2217), as a serial device server speaks it.
// Pure: fed the bytes from the socket in any split, it returns the data bytes (IAC IAC
// undoubled), the answers it owes the peer and what happened. Both ends use it: the
// client sets the far port's line, the server (the virtual module) answers; the same
// command sent by the server carries the client's code plus 100.
class TelnetCodec
{
public:
    enum Byte : quint8
    {
        SE = 240,
        NOP = 241,
        SB = 250,
        WILL = 251,
        WONT = 252,
        DO = 253,
        DONT = 254,
        IAC = 255,
    };
    enum Option : quint8
    {
        Binary = 0,
        Echo = 1,
        SuppressGoAhead = 3,
        ComPort = 44,
    };
    // Client codes; the server answers with the same code plus kServerOffset.
    enum Command : quint8
    {
        Signature = 0,
        SetBaudRate = 1,
        SetDataSize = 2,
        SetParity = 3,
        SetStopSize = 4,
        SetControl = 5,
        NotifyLineState = 6,
        NotifyModemState = 7,
        FlowControlSuspend = 8,
        FlowControlResume = 9,
        SetLineStateMask = 10,
        SetModemStateMask = 11,
        PurgeData = 12,
    };
    static constexpr quint8 kServerOffset = 100;
    // Values of SET-PARITY, SET-STOPSIZE and SET-CONTROL the tools use.
    static constexpr quint8 kParityNone = 1;
    static constexpr quint8 kStopOne = 1;
    static constexpr quint8 kControlNoFlow = 1;
    // A longer sub-negotiation is dropped, so a peer cannot grow the buffer without end.
    static constexpr int kMaxSubnegotiation = 256;

    enum class Role
    {
        Client,
        Server,
    };

    struct Event
    {
        enum Kind
        {
            ComPortAccepted, // the peer agreed to COM-PORT-CONTROL
            ComPortRefused,  // the peer refused it, or withdrew it
            ComPortCommand,  // a sub-negotiation of the option
        };
        Kind kind = ComPortCommand;
        quint8 command = 0; // the client's code (0-12) whichever end sent it
        QByteArray value;   // undoubled
        // Where it came in the data returned with it: a server applies a new line speed
        // to the data bytes after this place only.
        int at = 0;

        // SET-BAUDRATE's four bytes or a one-byte value, network order; 0 when neither.
        quint32 number() const;
        bool operator==(const Event &o) const
        {
            return kind == o.kind && command == o.command && value == o.value;
        }
    };

    struct Output
    {
        QByteArray data;  // bytes of the serial line
        QByteArray reply; // negotiation answers owed to the peer, to send as they are
        QVector<Event> events;
    };

    explicit TelnetCodec(Role role) : m_role(role) {}

    // What this end says on connecting: COM-PORT-CONTROL (client WILL, server DO), and
    // BINARY and SUPPRESS-GO-AHEAD both ways, which servers expect for 8-bit data.
    QByteArray start();
    Output feed(const QByteArray &bytes);

    // Data bytes for the socket: FF doubled.
    static QByteArray escape(const QByteArray &data);
    // A COM-PORT-CONTROL sub-negotiation from this end (server: code + 100).
    QByteArray command(Command command, const QByteArray &value) const;
    QByteArray setBaudRate(quint32 baud) const;
    QByteArray setDataSize(quint8 bits) const;
    // 8N1 without flow control, as the module's line is.
    QByteArray setLine8N1() const;

    bool comPortAgreed() const { return m_comPortAgreed; }

private:
    enum class State
    {
        Data,
        Iac,
        Verb,
        SubOption,
        SubData,
        SubIac,
    };
    struct OptionState
    {
        bool enabled = false;
        bool asked = false;
    };

    void onVerb(quint8 verb, quint8 option, Output &out);
    void onSubnegotiation(Output &out);
    bool acceptLocal(quint8 option) const;  // may this end enable it (WILL)?
    bool acceptRemote(quint8 option) const; // may the peer enable it (DO)?
    void comPortChanged(bool agreed, Output &out);

    Role m_role;
    State m_state = State::Data;
    quint8 m_verb = 0;
    quint8 m_subOption = 0;
    QByteArray m_sub;
    bool m_subOverflow = false;
    OptionState m_local[256];
    OptionState m_remote[256];
    bool m_comPortAgreed = false;
};

} // namespace quarvex
