// Feeds arbitrary bytes, in arbitrary chunks, to the Telnet COM-PORT-CONTROL codec (both
// ends) and to the Modbus TCP framing, as a hostile server or client would send them.
// Checks that data out never exceeds data in, that what is held stays bounded, and that
// only replies to a request made are handed on.
#include "link/crc16.h"
#include "link/mbap.h"
#include "link/telnetcodec.h"

#include <cstdint>
#include <cstdlib>

using namespace quarvex;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks the chunk length; the rest is the stream.
    const int chunk = 1 + data[0] % 64;
    const QByteArray stream(reinterpret_cast<const char *>(data + 1), int(size - 1));

    TelnetCodec client(TelnetCodec::Role::Client), server(TelnetCodec::Role::Server);
    client.start();
    mbap::Stream frames;
    mbap::Client gateway;
    gateway.request(withCrc(QByteArray::fromHex("010300000002")));
    for (int at = 0; at < stream.size(); at += chunk) {
        const QByteArray piece = stream.mid(at, chunk);
        for (TelnetCodec *codec : {&client, &server}) {
            const TelnetCodec::Output out = codec->feed(piece);
            check(out.data.size() <= piece.size());
            for (const TelnetCodec::Event &e : out.events) {
                check(e.value.size() <= TelnetCodec::kMaxSubnegotiation);
                (void)e.number();
            }
        }
        const mbap::Stream::Output adus = frames.feed(piece);
        check(frames.pendingSize() < mbap::kHeaderLength + mbap::kMaxPduLength);
        for (const mbap::Adu &adu : adus.adus)
            check(!adu.pdu.isEmpty() && adu.pdu.size() <= mbap::kMaxPduLength);
        // Only replies from the unit and with the function of the one request pass.
        const mbap::Client::Output replies = gateway.feed(piece);
        check(replies.rtu.isEmpty() ||
              (replies.rtu.at(0) == 1 && (quint8(replies.rtu.at(1)) & 0x7f) == 0x03));
    }
    return 0;
}
