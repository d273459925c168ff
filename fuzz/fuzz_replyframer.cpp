// Feeds arbitrary bytes, in arbitrary chunks and at arbitrary times, to the reply
// framer and decodes whatever it cuts out. Checks that no byte is lost, duplicated
// or invented, and that every frame it hands on is one the decoder can read safely.
#include "link/crc16.h"
#include "link/replydecoder.h"
#include "link/replyframer.h"

#include <cstdint>
#include <cstdlib>

using namespace quarvex;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void consume(const ReplyFramer::Pieces &pieces, QByteArray &out)
{
    for (const ReplyFramer::Piece &p : pieces) {
        check(!p.bytes.isEmpty());
        out += p.bytes;
        if (!p.isFrame)
            continue;
        check(crcHolds(p.bytes));
        switch (classifyReply(p.bytes)) {
        case ReplyKind::AddressReport:
            check(p.bytes.size() == 5);
            (void)reportedAddress(p.bytes);
            break;
        case ReplyKind::ParameterSummary:
            check(p.bytes.size() == 29);
            check(!parameterSummary(p.bytes).isEmpty());
            break;
        default:
            break;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Layout: repeated [chunk length][time step][bytes...]; the control bytes are
    // not part of the stream.
    ReplyFramer framer;
    QByteArray fed;
    QByteArray out;
    qint64 now = 0;
    size_t i = 0;
    while (i + 2 <= size) {
        const size_t len = data[i] % 40;
        now += data[i + 1];
        i += 2;
        const size_t take = len < size - i ? len : size - i;
        const QByteArray chunk(reinterpret_cast<const char *>(data + i), int(take));
        i += take;
        fed += chunk;
        consume(framer.feed(chunk, now), out);
        consume(framer.poll(now), out);
        check(framer.pendingSize() <= ReplyFramer::kMaxPending);
    }
    consume(framer.poll(now + ReplyFramer::kQuietMs), out);
    check(!framer.hasPending());
    check(out == fed);

    // The decoder on its own must cope with any bytes at all.
    const QByteArray raw(reinterpret_cast<const char *>(data), int(size));
    if (classifyReply(raw) == ReplyKind::ParameterSummary)
        (void)parameterSummary(raw);
    (void)parameterSummary(raw);
    (void)reportedAddress(raw);
    return 0;
}
