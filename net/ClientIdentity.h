#pragma once
#include "net/proto/RequestDocument.h"

// The identity values of this run as the header block and the log records carry them.
// Written at start-up and at sign-in (window thread), read by request workers.
RequestIdentity CurrentRequestIdentity();
void SetRequestIdentity(const RequestIdentity& identity);
