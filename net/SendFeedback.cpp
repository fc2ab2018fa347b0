#include "net/SendFeedback.h"

#include "base/Worker.h"
#include "net/ServiceAddress.h"
#include "net/ServiceMethods.h"

namespace {
constexpr int kFeedbackTask = 943;
}

int SendFeedback(const FeedbackJob& job)
{
    const int status = AddMessage(MetadataEntryUrl(), job.title, job.body);
    if (job.doneMessage) job.notify.PostMessage(job.doneMessage, quintptr(job.messageId), status);
    return status;
}

bool StartSendFeedback(FeedbackJob job)
{
    return StartWorker([job = std::move(job)] { SendFeedback(job); }, kFeedbackTask);
}
