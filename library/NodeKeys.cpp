#include "library/NodeKeys.h"

#include "library/IQvNode.h"

const char16_t* const kRootKey = u"根结点";

namespace {
QString NameOrRoot(const IQvNode* node)
{
    return node ? node->GetName() : QString::fromUtf16(kRootKey);
}
} // namespace

QString StoredKey(const IQvNode& node)
{
    const IQvNode* parent = node.GetParent();
    if (!parent) return QString::fromUtf16(kRootKey);
    return parent->GetName() + QLatin1Char('+') + NameOrRoot(parent->GetParent());
}

QString ListKey(const IQvNode& node)
{
    return node.GetName() + QLatin1Char('+') + NameOrRoot(node.GetParent());
}
