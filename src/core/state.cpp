#include "core/state.h"

namespace ca {

ProcessState& processState()
{
    static ProcessState state;
    return state;
}

ActionContext& actionContext()
{
    static ActionContext context;
    return context;
}

void resetProcessState()
{
    ProcessState& state = processState();
    state.installationMap.clear();
    state.customInstallList.clear();
    state.usedCustomSlotCount = 0;
    state.creoFamily = false;
    state.descriptorValues = DescriptorValues{};
    actionContext() = ActionContext{};
}

}  // namespace ca
