#include "pairing.h"

#include "crc16.h"
#include "device/frameshape.h"
#include "device/registers.h"

namespace quarvex {

namespace {

quint8 at(const QByteArray &f, int i)
{
    return quint8(f.at(i));
}

enum class Fit
{
    No,
    Partly, // every byte there fits, more are needed
    Whole,  // complete and the CRC holds
    BadCrc,
};

Fit fitAt(const QByteArray &rx, int pos, const QByteArray &fixed, int length)
{
    const int have = qMin(int(rx.size()) - pos, length);
    const int check = qMin(have, int(fixed.size()));
    for (int i = 0; i < check; ++i)
        if (rx.at(pos + i) != fixed.at(i))
            return Fit::No;
    if (have < length)
        return Fit::Partly;
    return crcHolds(rx.constData() + pos, length) ? Fit::Whole : Fit::BadCrc;
}

bool isAddressRequest(const QByteArray &req)
{
    return req.size() == 4 && at(req, 0) == kAddressFrameBus && at(req, 1) == Fn::ReadAddress;
}

// Two modules answering the address request at once: on a pair, a 0 bit from either
// wins, so the wire carries the AND of both reports.
bool collidedReports(const QByteArray &rx, int pos)
{
    if (rx.size() - pos < kAddressReportLength || at(rx, pos) != kAddressFrameBus ||
        at(rx, pos + 1) != Fn::ReadAddress)
        return false;
    static const QVector<QByteArray> reports = [] {
        QVector<QByteArray> r;
        for (int a = 1; a <= 254; ++a) {
            QByteArray report(3, char(kAddressFrameBus));
            report[1] = char(Fn::ReadAddress);
            report[2] = char(a);
            r.append(withCrc(report));
        }
        return r;
    }();
    const QByteArray got = rx.mid(pos, kAddressReportLength);
    for (int i = 0; i < reports.size(); ++i) {
        for (int j = i + 1; j < reports.size(); ++j) {
            bool same = true;
            for (int k = 0; k < kAddressReportLength && same; ++k)
                same = char(reports[i].at(k) & reports[j].at(k)) == got.at(k);
            if (same)
                return true;
        }
    }
    return false;
}

struct Candidate
{
    Pairing::Status status;
    ReplyShape shape;
    int earlier; // -1: this request's
    int from;    // the first place it may begin
};

QVector<Candidate> candidatesFor(const QByteArray &request, Pairing::Status normal,
                                 Pairing::Status exception, int earlier, int from)
{
    if (request.size() < 2)
        return {};
    QByteArray exceptionHead = request.left(2);
    exceptionHead[1] = char(at(request, 1) | Fn::ExceptionBit);
    // The normal reply is tried before the exception at each place.
    return {{normal, replyShape(request), earlier, from},
            {exception, {kExceptionReplyLength, exceptionHead}, earlier, from}};
}

} // namespace

int expectedReplyLength(const QByteArray &request)
{
    return replyShape(request).length;
}

bool expectsReply(const QByteArray &request)
{
    return !request.isEmpty() &&
           (at(request, 0) != kAddressFrameBus || replyShape(request).length > 0);
}

Pairing pairReply(const QByteArray &request, const QByteArray &received,
                  const QVector<QByteArray> &earlier, int sentAt)
{
    Pairing p;
    QVector<Candidate> candidates =
        candidatesFor(request, Pairing::Complete, Pairing::Exception, -1, sentAt);
    const int own = int(candidates.size());
    for (int i = 0; i < earlier.size(); ++i)
        candidates += candidatesFor(earlier[i], Pairing::Late, Pairing::Late, i, 0);

    int firstCandidate = -1;
    for (int pos = 0; pos < received.size(); ++pos) {
        bool partly = false, ownPartly = false;
        int partlyEarlier = -1; // an earlier request's reply may be under way here
        for (int c = 0; c < candidates.size(); ++c) {
            const Candidate &cand = candidates[c];
            if (cand.shape.length == 0 || pos < cand.from)
                continue;
            switch (fitAt(received, pos, cand.shape.fixed, cand.shape.length)) {
            case Fit::Whole:
                p.status = cand.status;
                p.start = pos;
                p.length = cand.shape.length;
                p.skipped = pos;
                p.earlier = cand.earlier;
                for (int e = own; c < own && e < candidates.size() && !p.couldBeLate; ++e)
                    p.couldBeLate =
                        candidates[e].shape.length == p.length &&
                        fitAt(received, pos, candidates[e].shape.fixed, p.length) == Fit::Whole;
                return p;
            case Fit::BadCrc:
                if (c < own)
                    ++p.crcFailures;
                else if (p.earlierDamaged < 0)
                    p.earlierDamaged = cand.earlier;
                break;
            case Fit::Partly:
                partly = true;
                if (c < own)
                    ownPartly = true;
                else if (partlyEarlier < 0)
                    partlyEarlier = cand.earlier;
                break;
            case Fit::No:
                break;
            }
        }
        if (partly && firstCandidate < 0) {
            firstCandidate = pos;
            // Own first: the same bytes may begin this request's reply too.
            p.partialEarlier = ownPartly ? -1 : partlyEarlier;
        }
    }
    p.skipped = firstCandidate < 0 ? int(received.size()) : firstCandidate;
    if (received.size() > kKeptBytes)
        p.droppable = p.skipped;
    return p;
}

Damage classifyDamage(const QByteArray &request, const QByteArray &received)
{
    if (received.isEmpty())
        return Damage::None;
    const QVector<Candidate> candidates =
        candidatesFor(request, Pairing::Complete, Pairing::Exception, -1, 0);
    Damage worst = Damage::Noise;
    for (int pos = 0; pos < received.size(); ++pos) {
        if (isAddressRequest(request) && collidedReports(received, pos))
            return Damage::Collision;
        for (const Candidate &c : candidates) {
            if (c.shape.length == 0)
                continue;
            const Fit fit = fitAt(received, pos, c.shape.fixed, c.shape.length);
            if (fit == Fit::BadCrc)
                worst = Damage::BadCrc;
            // One byte that could be an address is no sign of a reply.
            else if (fit == Fit::Partly && received.size() - pos >= 2 && worst == Damage::Noise)
                worst = Damage::CutOff;
        }
    }
    return worst;
}

} // namespace quarvex
