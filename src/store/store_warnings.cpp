#include "store/store_warnings.h"

namespace {

QStringList& queued()
{
    static QStringList messages;
    return messages;
}

} // namespace

void ReportStoreWarning(const QString& message)
{
    queued().append(message);
}

QStringList TakeStoreWarnings()
{
    return std::exchange(queued(), QStringList());
}
