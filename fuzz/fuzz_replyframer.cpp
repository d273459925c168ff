// Feeds arbitrary bytes, in arbitrary chunks and at arbitrary times, to the reply
// framer and decodes whatever it cuts out. Checks that no byte is lost, duplicated
// or invented, and that every frame it hands on is one the decoder can read safely.
// Then pairs the same bytes with a request, as quarvexctl does: a reply is only ever
// taken from bytes that were received, and only with a CRC that holds.
#include "link/crc16.h"
#include "link/pairing.h"
#include "link/replydecoder.h"
#include "link/replyframer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

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

// The requests quarvexctl sends, and one of any shape taken from the input.
QByteArray fuzzRequest(const uint8_t *data, size_t size, size_t *used)
{
    static const char *const kRequests[] = {"0020",         "001005",
                                            "01030000000e", "010300000002",
                                            "010600060001", "0110000400020400010032",
                                            "014100",       "0003000000ff"};
    constexpr size_t kCount = sizeof(kRequests) / sizeof(kRequests[0]);
    *used = 0;
    if (size == 0)
        return withCrc(QByteArray::fromHex(kRequests[0]));
    const size_t pick = data[0] % (kCount + 1);
    *used = 1;
    if (pick < kCount)
        return withCrc(QByteArray::fromHex(kRequests[pick]));
    if (size < 2)
        return withCrc(QByteArray::fromHex(kRequests[0]));
    const size_t len = data[1] % 16;
    const size_t take = len < size - 2 ? len : size - 2;
    *used = 2 + take;
    return withCrc(QByteArray(reinterpret_cast<const char *>(data + 2), int(take)));
}

void checkPairing(const QByteArray &request, const uint8_t *bytes, size_t size)
{
    // An exact-size copy, so that a read past the end is caught; QByteArray's own
    // terminating zero would hide one.
    std::unique_ptr<char[]> exact(new char[size ? size : 1]);
    if (size)
        std::memcpy(exact.get(), bytes, size);
    const QByteArray received = QByteArray::fromRawData(exact.get(), int(size));
    // Every prefix, as the bytes would come in one by one.
    const int step = size > 256 ? int(size / 64) : 1;
    bool completeBefore = false;
    for (int n = 0; n <= int(size); n += step) {
        const QByteArray part = QByteArray::fromRawData(exact.get(), n);
        const Pairing p = pairReply(request, part);
        check(p.skipped >= 0 && p.skipped <= n);
        if (p.status == Pairing::Incomplete) {
            check(!completeBefore);
            continue;
        }
        check(p.start == p.skipped && p.start + p.length <= n);
        const QByteArray reply = p.reply(part);
        check(crcHolds(reply));
        check(reply.at(0) == request.at(0));
        if (p.status == Pairing::Exception)
            check(p.length == 5 && quint8(reply.at(1)) == (quint8(request.at(1)) | 0x80));
        else
            check(p.length == expectedReplyLength(request) && reply.at(1) == request.at(1));
        completeBefore = true;
    }
    (void)pairReply(request, received);
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

    size_t used = 0;
    const QByteArray request = fuzzRequest(data, size, &used);
    checkPairing(request, data + used, size - used);
    return 0;
}
