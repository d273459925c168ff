// Feeds arbitrary bytes to the plan parser and the results reader, as a spreadsheet, a
// hand edit or a broken disk may leave them. Checks that every row it takes is one that
// could be sent, and that a refused plan gives no rows at all.
#include "plan.h"

#include "device/fields.h"

#include <cstdint>
#include <cstdlib>

using namespace quarvex;
using namespace quarvex::cli;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const Plan plan = parsePlan(bytes, QStringLiteral("fuzz.csv"));
    check(plan.errors.isEmpty() != plan.rows.isEmpty());
    QSet<int> addresses;
    for (const PlanRow &row : plan.rows) {
        check(fieldAccepts(Field::Address, row.address) && !addresses.contains(row.address));
        addresses.insert(row.address);
        check(!row.lineSpeed || fieldAccepts(Field::LineSpeed, *row.lineSpeed));
        check(!row.pwm1 || fieldAccepts(Field::Frequency, *row.pwm1));
        check(!row.pwm2 || fieldAccepts(Field::Frequency, *row.pwm2));
    }
    (void)rowsWithResults(bytes);
    (void)doneAddresses(bytes);
    return 0;
}
