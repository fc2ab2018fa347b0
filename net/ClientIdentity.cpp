#include "net/ClientIdentity.h"

#include "net/ServiceRequest.h"

#include <mutex>

namespace {

struct IdentityStore {
    std::mutex mutex;
    RequestIdentity identity;
};

IdentityStore& Store()
{
    static IdentityStore s;
    return s;
}

} // namespace

RequestIdentity CurrentRequestIdentity()
{
    IdentityStore& s = Store();
    std::lock_guard lock(s.mutex);
    return s.identity;
}

void SetRequestIdentity(const RequestIdentity& identity)
{
    IdentityStore& s = Store();
    std::lock_guard lock(s.mutex);
    s.identity = identity;
}

QString BuildRequestHeaders()
{
    return FormatRequestHeaders(CurrentRequestIdentity());
}
