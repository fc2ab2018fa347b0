#pragma once
#include "store/IQvNode.h"

// Decides which tracks a list takes and keeps the list's set of service songs. The operations
// keep the order of the builder interface's slots.
class IQvDataBuilder {
public:
    virtual ~IQvDataBuilder() = default;                                                       // 0
    // 1 when the track is (now) a member, else 0. `force` is passed through; no builder uses it.
    virtual int Accept(CQvMusic* track, MemberList& members, MemberIndex& index, int force) = 0; // 1
    virtual void Notify(int a, int b, int c) = 0;                                              // 2
    virtual void Forget(CQvMusic* track, MemberList& members, MemberIndex& index) = 0;         // 3
    virtual CQvMusic* GetItem(int index, MemberList& members) = 0;                             // 4
    virtual void SetNode(IQvNode* node) = 0;                                                   // 5
};
