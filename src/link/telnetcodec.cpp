#include "link/telnetcodec.h"

#include <QtEndian>

namespace quarvex {

namespace {

QByteArray verb(quint8 verb, quint8 option)
{
    QByteArray bytes(3, '\0');
    bytes[0] = char(TelnetCodec::IAC);
    bytes[1] = char(verb);
    bytes[2] = char(option);
    return bytes;
}

} // namespace

quint32 TelnetCodec::Event::number() const
{
    if (value.size() == 4)
        return qFromBigEndian<quint32>(value.constData());
    if (value.size() == 1)
        return quint8(value.at(0));
    return 0;
}

QByteArray TelnetCodec::start()
{
    const bool client = m_role == Role::Client;
    QByteArray bytes;
    // The client offers the option, the server asks for it (RFC 2217, section 2).
    const quint8 comPortVerb = client ? WILL : DO;
    OptionState &comPort = client ? m_local[ComPort] : m_remote[ComPort];
    comPort.asked = true;
    bytes += verb(comPortVerb, ComPort);
    for (quint8 option : {Binary, SuppressGoAhead}) {
        m_local[option].asked = true;
        m_remote[option].asked = true;
        bytes += verb(WILL, option) + verb(DO, option);
    }
    return bytes;
}

QByteArray TelnetCodec::escape(const QByteArray &data)
{
    if (!data.contains(char(IAC)))
        return data;
    QByteArray out;
    out.reserve(data.size() + 8);
    for (char c : data) {
        out += c;
        if (quint8(c) == IAC)
            out += c;
    }
    return out;
}

QByteArray TelnetCodec::command(Command command, const QByteArray &value) const
{
    const quint8 code = m_role == Role::Client ? quint8(command) : quint8(command + kServerOffset);
    QByteArray bytes;
    bytes += char(IAC);
    bytes += char(SB);
    bytes += char(ComPort);
    bytes += char(code);
    bytes += escape(value);
    bytes += char(IAC);
    bytes += char(SE);
    return bytes;
}

QByteArray TelnetCodec::setBaudRate(quint32 baud) const
{
    QByteArray value(4, '\0');
    qToBigEndian<quint32>(baud, value.data());
    return command(SetBaudRate, value);
}

QByteArray TelnetCodec::setDataSize(quint8 bits) const
{
    return command(SetDataSize, QByteArray(1, char(bits)));
}

QByteArray TelnetCodec::setLine8N1() const
{
    return setDataSize(8) + command(SetParity, QByteArray(1, char(kParityNone))) +
           command(SetStopSize, QByteArray(1, char(kStopOne))) +
           command(SetControl, QByteArray(1, char(kControlNoFlow)));
}

TelnetCodec::Output TelnetCodec::feed(const QByteArray &bytes)
{
    Output out;
    for (char c : bytes) {
        const quint8 b = quint8(c);
        switch (m_state) {
        case State::Data:
            if (b == IAC)
                m_state = State::Iac;
            else
                out.data += c;
            break;
        case State::Iac:
            if (b == IAC) {
                out.data += c;
                m_state = State::Data;
            } else if (b >= WILL && b <= DONT) {
                m_verb = b;
                m_state = State::Verb;
            } else if (b == SB) {
                m_state = State::SubOption;
            } else {
                m_state = State::Data; // NOP, GA and the like carry nothing for us
            }
            break;
        case State::Verb:
            onVerb(m_verb, b, out);
            m_state = State::Data;
            break;
        case State::SubOption:
            m_subOption = b;
            m_sub.clear();
            m_subOverflow = false;
            m_state = State::SubData;
            break;
        case State::SubData:
            if (b == IAC) {
                m_state = State::SubIac;
            } else if (m_sub.size() < kMaxSubnegotiation) {
                m_sub += c;
            } else {
                m_subOverflow = true;
            }
            break;
        case State::SubIac:
            if (b == IAC) {
                if (m_sub.size() < kMaxSubnegotiation)
                    m_sub += c;
                else
                    m_subOverflow = true;
                m_state = State::SubData;
            } else if (b == SE) {
                onSubnegotiation(out);
                m_state = State::Data;
            } else {
                // A command inside a sub-negotiation: a broken peer; drop what we have.
                m_sub.clear();
                m_state = State::Data;
            }
            break;
        }
    }
    return out;
}

bool TelnetCodec::acceptLocal(quint8 option) const
{
    return option == Binary || option == SuppressGoAhead ||
           (option == ComPort && m_role == Role::Client);
}

bool TelnetCodec::acceptRemote(quint8 option) const
{
    return option == Binary || option == SuppressGoAhead ||
           (option == ComPort && m_role == Role::Server);
}

void TelnetCodec::comPortChanged(bool agreed, Output &out)
{
    m_comPortAgreed = agreed;
    Event e;
    e.kind = agreed ? Event::ComPortAccepted : Event::ComPortRefused;
    e.command = 0;
    e.at = int(out.data.size());
    out.events += e;
}

// Answers only what changes the option's state, so two ends never loop (RFC 854's rule).
void TelnetCodec::onVerb(quint8 v, quint8 option, Output &out)
{
    const bool aboutLocal = v == DO || v == DONT;
    OptionState &s = aboutLocal ? m_local[option] : m_remote[option];
    const bool wantsOn = v == DO || v == WILL;
    const bool comPortHere = option == ComPort && (aboutLocal == (m_role == Role::Client));
    const quint8 yes = aboutLocal ? WILL : DO;
    const quint8 no = aboutLocal ? WONT : DONT;

    if (wantsOn) {
        const bool acceptable = aboutLocal ? acceptLocal(option) : acceptRemote(option);
        if (!acceptable) {
            out.reply += verb(no, option);
            return;
        }
        const bool wasOn = s.enabled;
        if (!s.enabled && !s.asked)
            out.reply += verb(yes, option);
        s.enabled = true;
        s.asked = false;
        if (comPortHere && !wasOn)
            comPortChanged(true, out);
        return;
    }
    const bool wasOn = s.enabled, wasAsked = s.asked;
    if (s.enabled && !s.asked)
        out.reply += verb(no, option);
    s.enabled = false;
    s.asked = false;
    if (comPortHere && (wasOn || wasAsked))
        comPortChanged(false, out);
}

void TelnetCodec::onSubnegotiation(Output &out)
{
    if (m_subOption != ComPort || m_sub.isEmpty() || m_subOverflow)
        return;
    const quint8 code = quint8(m_sub.at(0));
    const bool fromServer = code >= kServerOffset;
    // Each end listens only to the other's codes.
    if (fromServer != (m_role == Role::Client))
        return;
    Event e;
    e.kind = Event::ComPortCommand;
    e.command = fromServer ? quint8(code - kServerOffset) : code;
    e.value = m_sub.mid(1);
    e.at = int(out.data.size());
    out.events += e;
}

} // namespace quarvex
